// The eight code hooks: the table of sites, their verification, installation
// with trampolines, and removal.
#pragma once

#include <cstddef>
#include <cstdint>

struct HookSite {
    uint32_t site;              // first instruction taken over
    const uint8_t* expected;    // the bytes that must stand there
    uint32_t length;            // bytes taken over, whole instructions (5..12)
    void* handler;              // the plugin's replacement
    uint8_t* trampoline;        // displaced bytes + jump back; null while none
    bool installed;             // the site holds the jump to the handler
};

constexpr int kHookCount = 8;
constexpr uint32_t kTrampolineBytes = 32;

// The assembly entry stubs address the table by these offsets.
static_assert(sizeof(HookSite) == 24, "hook table entry size");
static_assert(offsetof(HookSite, trampoline) == 16, "hook table trampoline offset");

enum HookId : int {
    kHookWorldUpdate = 0,
    kHookKillCredit = 1,
    kHookPedDamage = 2,
    kHookZoneInfo = 3,
    kHookGameInit = 4,
    kHookSaveGame = 5,
    kHookLoadGame = 6,
    kHookRenderFrame = 7,
};

extern "C" HookSite hookSites[kHookCount];

// The trampoline of a hook, read as its host routine's signature.
template <typename Fn>
inline Fn Trampoline(HookId id) {
    return reinterpret_cast<Fn>(hookSites[id].trampoline);
}

bool VerifySites();
bool InstallHooks();
void RemoveHooks();
