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
    return HookSite{static_cast<uint32_t>(site), bytes, static_cast<uint32_t>(N), handler, nullptr, false};
}

void WriteRel32(uint8_t* at, uint8_t opcode, uintptr_t target) {
    at[0] = opcode;
    const uint32_t displacement = static_cast<uint32_t>(target - (reinterpret_cast<uintptr_t>(at) + kRel32Bytes));
    memcpy(at + 1, &displacement, sizeof displacement);
}

void FlushCode(const void* address, SIZE_T bytes) { FlushInstructionCache(GetCurrentProcess(), address, bytes); }

// Phase 1 for one entry: the displaced instructions, then a jump back behind them.
bool BuildTrampoline(HookSite& hook) {
    hook.trampoline = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, kTrampolineBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!hook.trampoline) return false;
    memcpy(hook.trampoline, hook.expected, hook.length);
    // The one position-dependent instruction: site 0's relative call.
    if (hook.site == host::kSiteWorldUpdate) WriteRel32(hook.trampoline, kCallRel32, host::kSiteWorldUpdateCallee);
    WriteRel32(hook.trampoline + hook.length, kJmpRel32, hook.site + hook.length);
    DWORD oldProtection{};
    if (!VirtualProtect(hook.trampoline, kTrampolineBytes, PAGE_EXECUTE_READ, &oldProtection)) return false;
    FlushCode(hook.trampoline, kTrampolineBytes);
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

bool PatchSite(HookSite& hook) {
    uint8_t patch[16];
    memset(patch, kNop, sizeof patch);
    patch[0] = kJmpRel32;
    const uint32_t displacement =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hook.handler) - (hook.site + kRel32Bytes));
    memcpy(patch + 1, &displacement, sizeof displacement);
    if (!WriteCode(hook.site, patch, hook.length)) return false;
    hook.installed = true;
    return true;
}

// While a site still jumps into this module, the module must outlive
// FreeLibrary: pinned, it stays mapped until the process ends.
void PinModule() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&hookSites), &self);
}

void LogMismatch(uint32_t site) {
    char line[80] = {};
    PrintText(line, sizeof line, "DISABLED: code signature mismatch at %08lX.", static_cast<unsigned long>(site));
    LogLine(line);
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
    for (const HookSite& hook : hookSites) {
        const uint8_t* code = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(hook.site));
        if (memcmp(code, hook.expected, hook.length) != 0) {
            LogMismatch(hook.site);
            LogSiteConflict(hook.site);
            return false;
        }
    }
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

// A site whose bytes cannot be written back still jumps to its handler, and
// the handler runs the host routine through the trampoline: such an entry
// keeps both and stays installed, so that a later removal tries again, and
// the module is pinned so that the handler is still there when the game
// next calls the routine, also after an unload.
void RemoveHooks() {
    for (HookSite& hook : hookSites) {
        if (hook.installed && !WriteCode(hook.site, hook.expected, hook.length)) {
            PinModule();
            continue;
        }
        if (hook.trampoline) VirtualFree(hook.trampoline, 0, MEM_RELEASE);
        hook.trampoline = nullptr;
        hook.installed = false;
    }
}
