// The eight code hooks: the table of sites, their verification, installation
// with trampolines and relays, the watch over sites other mods may take over
// later, and removal.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kMaxHookBytes = 12;

struct HookSite {
    uint32_t site;              // first instruction taken over
    const uint8_t* expected;    // the game's bytes there
    uint32_t length;            // bytes taken over, whole instructions (5..12)
    void* handler;              // the plugin's replacement
    uint8_t* trampoline;        // displaced bytes + jump back, then the relay; null while none
    bool installed;             // the site holds the plugin's jump
    bool takenOver;             // another mod wrote over that jump after start
    uint8_t found[kMaxHookBytes];  // the bytes found at verification: run by the trampoline, written back at removal
};

constexpr int kHookCount = 8;
constexpr uint32_t kTrampolineBytes = 32;

// Each site's block: one page of code (the trampoline, then the relay the
// site jumps to: jmp [cell]) and one page of data holding the relay's cell.
// The cell points at the handler; at removal it is pointed at the trampoline,
// so a jump left behind in the game, or copied by another mod, runs the
// game's routine after the module is gone.
constexpr uint32_t kRelayOffset = kTrampolineBytes;
constexpr uint32_t kCellOffset = 0x1000;
constexpr uint32_t kHookBlockBytes = 0x2000;

// The assembly entry stubs address the table by these offsets.
#define QB_HOOK_SITE_BYTES 36
#define QB_HOOK_TRAMPOLINE_OFFSET 16
static_assert(sizeof(HookSite) == QB_HOOK_SITE_BYTES, "hook table entry size");
static_assert(offsetof(HookSite, trampoline) == QB_HOOK_TRAMPOLINE_OFFSET, "hook table trampoline offset");

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

// True when every site holds the game's bytes, or site 0 holds another
// mod's call to be chained through. Writes the mismatch or CHAINED line.
bool VerifySites();
bool InstallHooks();
// Writes back every site that still holds the plugin's jump; a site another
// mod took over is left as it is. Every relay then runs its trampoline.
void RemoveHooks();
// From the frame's hooks: notes, once per site, a site whose jump another mod
// wrote over after start. Reads memory only.
void WatchHookSites();
