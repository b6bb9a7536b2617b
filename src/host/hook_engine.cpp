#include "host/hook_engine.h"

#include <windows.h>

#include <cstring>

#include "host/handler_entries.h"
#include "host/host_interface.h"
#include "host/log.h"
#include "host/refusal_lines.h"
#include "host/text_print.h"

namespace {

constexpr uint8_t kWorldUpdateBytes[] = {0xE8, 0xCB, 0x5E, 0x00, 0x00};  // call 0x492720
constexpr uint8_t kKillCreditBytes[] = {0x66, 0x83, 0x3D, 0xB4, 0xCC, 0x95, 0x00, 0x01};  // cmp word [0x95CCB4], 1
constexpr uint8_t kPedDamageBytes[] = {0xD9, 0x05, 0xB8, 0x9A, 0x5F, 0x00};  // fld dword [0x5F9AB8]
constexpr uint8_t kZoneInfoBytes[] = {0x53, 0x56, 0x57, 0x83, 0xEC, 0x10};  // push ebx/esi/edi; sub esp, 0x10
constexpr uint8_t kGameInitBytes[] = {0x31, 0xC0, 0xC7, 0x05, 0x50, 0x2C,
                                      0x8E, 0x00, 0x00, 0x00, 0x00, 0x00};  // xor eax, eax; mov dword [0x8E2C50], 0
constexpr uint8_t kSaveGameBytes[] = {0x53, 0x56, 0x55, 0x89, 0xCE};        // push ebx/esi/ebp; mov esi, ecx
constexpr uint8_t kLoadGameBytes[] = {0x55, 0x89, 0xE5, 0x56, 0x57};        // push ebp; mov ebp, esp; push esi/edi
constexpr uint8_t kRenderFrameBytes[] = {0x53, 0x56, 0x55, 0x83, 0xEC, 0x68};  // push ebx/esi/ebp; sub esp, 0x68

constexpr uint8_t kJmpRel32 = 0xE9;
constexpr uint8_t kCallRel32 = 0xE8;
constexpr uint8_t kNop = 0x90;
constexpr uint32_t kRel32Bytes = 5;

template <size_t N>
constexpr HookSite Entry(uintptr_t site, const uint8_t (&bytes)[N], void* handler) {
    static_assert(N >= kRel32Bytes && N <= kMaxHookBytes, "whole instructions, 5 to 12 bytes");
    HookSite hook{static_cast<uint32_t>(site), bytes, static_cast<uint32_t>(N), handler, nullptr, false, false, {}};
    for (size_t i = 0; i < N; ++i) hook.found[i] = bytes[i];
    return hook;
}

const uint8_t* CodeAt(uintptr_t address) { return reinterpret_cast<const uint8_t*>(address); }

// Where a rel32 call or jump of `bytes`, standing at `at`, leads.
uintptr_t Rel32Target(uintptr_t at, const uint8_t* bytes) {
    int32_t displacement{};
    memcpy(&displacement, bytes + 1, sizeof displacement);
    return at + kRel32Bytes + static_cast<uintptr_t>(displacement);
}

void WriteRel32(uint8_t* at, uint8_t opcode, uintptr_t target) {
    at[0] = opcode;
    const uint32_t displacement = static_cast<uint32_t>(target - (reinterpret_cast<uintptr_t>(at) + kRel32Bytes));
    memcpy(at + 1, &displacement, sizeof displacement);
}

void FlushCode(const void* address, SIZE_T bytes) { FlushInstructionCache(GetCurrentProcess(), address, bytes); }

uint8_t* RelayOf(const HookSite& hook) { return hook.trampoline + kRelayOffset; }
void** CellOf(const HookSite& hook) { return reinterpret_cast<void**>(hook.trampoline + kCellOffset); }

// The relay: jmp dword [cell], the cell holding the handler.
void WriteRelay(const HookSite& hook) {
    uint8_t* relay = RelayOf(hook);
    relay[0] = 0xFF;
    relay[1] = 0x25;
    const uint32_t cell = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(CellOf(hook)));
    memcpy(relay + 2, &cell, sizeof cell);
    *CellOf(hook) = hook.handler;
}

// Phase 1 for one entry: the displaced instructions, a jump back behind them,
// and the relay. Only the code page becomes executable; the cell stays data.
bool BuildTrampoline(HookSite& hook) {
    hook.trampoline = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, kHookBlockBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!hook.trampoline) return false;
    memcpy(hook.trampoline, hook.found, hook.length);
    // The one position-dependent instruction: site 0's relative call, to the
    // game's routine or to the one another mod's call there leads to.
    if (hook.site == host::kSiteWorldUpdate)
        WriteRel32(hook.trampoline, kCallRel32, Rel32Target(hook.site, hook.found));
    WriteRel32(hook.trampoline + hook.length, kJmpRel32, hook.site + hook.length);
    WriteRelay(hook);
    DWORD oldProtection{};
    if (!VirtualProtect(hook.trampoline, kCellOffset, PAGE_EXECUTE_READ, &oldProtection)) return false;
    FlushCode(hook.trampoline, kCellOffset);
    return true;
}

// Writes bytes over host code: unprotect, copy, restore protection, flush.
bool WriteCode(uint32_t site, const uint8_t* bytes, uint32_t length) {
    void* code = reinterpret_cast<void*>(static_cast<uintptr_t>(site));
    DWORD oldProtection{};
    if (!VirtualProtect(code, length, PAGE_EXECUTE_READWRITE, &oldProtection)) return false;
    memcpy(code, bytes, length);
    DWORD ignored{};
    VirtualProtect(code, length, oldProtection, &ignored);
    FlushCode(code, length);
    return true;
}

// The plugin's jump at a site: to the relay, then NOPs up to `length`.
void PluginPatch(const HookSite& hook, uint8_t (&patch)[kMaxHookBytes]) {
    memset(patch, kNop, sizeof patch);
    patch[0] = kJmpRel32;
    const uint32_t displacement =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(RelayOf(hook)) - (hook.site + kRel32Bytes));
    memcpy(patch + 1, &displacement, sizeof displacement);
}

bool PatchSite(HookSite& hook) {
    uint8_t patch[kMaxHookBytes];
    PluginPatch(hook, patch);
    if (!WriteCode(hook.site, patch, hook.length)) return false;
    hook.installed = true;
    return true;
}

bool SiteHoldsPluginJump(const HookSite& hook) {
    uint8_t patch[kMaxHookBytes];
    PluginPatch(hook, patch);
    return memcmp(CodeAt(hook.site), patch, kRel32Bytes) == 0;
}

constexpr DWORD kExecutableProtection = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                        PAGE_EXECUTE_WRITECOPY;

bool IsCommittedCode(uintptr_t address) {
    MEMORY_BASIC_INFORMATION info = {};
    if (!VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info)) return false;
    return info.State == MEM_COMMIT && (info.Protect & kExecutableProtection) &&
           !(info.Protect & (PAGE_GUARD | PAGE_NOACCESS));
}

// A controller mod replaces the game's call at the world update with a call
// of its own (its routine updates the pads instead): the plugin's trampoline
// calls that routine in turn. Any other bytes at any site are refused.
bool IsChainableCall(const HookSite& hook) {
    const uint8_t* code = CodeAt(hook.site);
    return hook.site == host::kSiteWorldUpdate && code[0] == kCallRel32 &&
           IsCommittedCode(Rel32Target(hook.site, code));
}

void LogMismatch(uint32_t site) {
    char line[80] = {};
    PrintText(line, sizeof line, "DISABLED: code signature mismatch at %08lX.", static_cast<unsigned long>(site));
    LogLine(line);
}

// What the player loses when another mod takes a site over after start.
const char* LossOfSite(uint32_t site) {
    switch (site) {
        case host::kSiteWorldUpdate: return "fear and notices stop; kills and saves still count";
        case host::kSiteKillCredit: return "kills are no longer counted";
        case host::kSitePedDamage: return "wounded members no longer fight back";
        case host::kSiteZoneInfo: return "beaten gangs' spawns are no longer thinned";
        case host::kSiteGameInit: return "a new game no longer clears the counts";
        case host::kSiteSaveGame: return "saves no longer keep the counts";
        case host::kSiteLoadGame: return "loading a save no longer brings its counts back";
        default: return "notices are no longer drawn";
    }
}

}  // namespace

HookSite hookSites[kHookCount] = {
    Entry(host::kSiteWorldUpdate, kWorldUpdateBytes, reinterpret_cast<void*>(&FearTickEntry)),
    Entry(host::kSiteKillCredit, kKillCreditBytes, reinterpret_cast<void*>(&CountKillEntry)),
    Entry(host::kSitePedDamage, kPedDamageBytes, reinterpret_cast<void*>(&MarkPlayerDamageEntry)),
    Entry(host::kSiteZoneInfo, kZoneInfoBytes, reinterpret_cast<void*>(&ScaleGangDensity)),
    Entry(host::kSiteGameInit, kGameInitBytes, reinterpret_cast<void*>(&ResetOnNewGameEntry)),
    Entry(host::kSiteSaveGame, kSaveGameBytes, reinterpret_cast<void*>(&SaveProgress)),
    Entry(host::kSiteLoadGame, kLoadGameBytes, reinterpret_cast<void*>(&LoadProgress)),
    Entry(host::kSiteRenderFrame, kRenderFrameBytes, reinterpret_cast<void*>(&RenderHook)),
};

bool VerifySites() {
    for (HookSite& hook : hookSites) {
        if (memcmp(CodeAt(hook.site), hook.expected, hook.length) != 0 && !IsChainableCall(hook)) {
            LogMismatch(hook.site);
            LogSiteConflict(hook.site);
            return false;
        }
        memcpy(hook.found, CodeAt(hook.site), hook.length);
    }
    for (const HookSite& hook : hookSites)
        if (memcmp(hook.found, hook.expected, hook.length) != 0)
            LogChainedSite(hook.site, Rel32Target(hook.site, hook.found));
    return true;
}

bool InstallHooks() {
    for (HookSite& hook : hookSites) {
        if (!BuildTrampoline(hook)) {
            RemoveHooks();
            return false;
        }
    }
    for (HookSite& hook : hookSites) {
        if (!PatchSite(hook)) {
            RemoveHooks();
            return false;
        }
    }
    return true;
}

// A site that still holds the plugin's jump is written back with the bytes
// found there. Every relay then runs its trampoline instead of the handler,
// since the module may be unmapped next. A block stays allocated for good
// while a jump may still reach it: the plugin's own at a site that could not
// be written back (kept installed, to be tried again), or another mod's that
// took the site over and may have copied the plugin's jump.
void RemoveHooks() {
    for (HookSite& hook : hookSites) {
        bool stuck = false, keepBlock = false;
        if (hook.installed) {
            if (!SiteHoldsPluginJump(hook)) keepBlock = true;
            else stuck = keepBlock = !WriteCode(hook.site, hook.found, hook.length);
        }
        if (hook.trampoline) *CellOf(hook) = hook.trampoline;
        if (stuck) continue;
        if (hook.trampoline && !keepBlock) VirtualFree(hook.trampoline, 0, MEM_RELEASE);
        hook.trampoline = nullptr;
        hook.installed = hook.takenOver = false;
        memcpy(hook.found, hook.expected, hook.length);
    }
}

void WatchHookSites() {
    for (HookSite& hook : hookSites) {
        if (!hook.installed || hook.takenOver || SiteHoldsPluginJump(hook)) continue;
        hook.takenOver = true;
        LogSiteTakenOver(hook.site, LossOfSite(hook.site));
    }
}
