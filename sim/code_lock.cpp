// The game's code held unwritable, as an anti-tamper layer or another program
// holding the executable's pages would hold it: VirtualProtect on the host's
// window fails once a number of protection changes has been spent. The
// process-wide entry of VirtualProtect is redirected here, so the lock also
// covers a module's own start-up, before anything could touch its imports.
#include <windows.h>

#include <cstring>

#include "sim.h"

namespace sim {

namespace {

constexpr uintptr_t kWindowStart = 0x420000;
constexpr uintptr_t kWindowEnd = 0x982000;

int changesLeft = -1;  // below 0: no lock
uint8_t* entry;        // VirtualProtect's first instruction
uint8_t originalEntry[5];

bool TouchesWindow(LPVOID address, SIZE_T size) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    return start < kWindowEnd && start + size > kWindowStart;
}

BOOL WINAPI LockedVirtualProtect(LPVOID address, SIZE_T size, DWORD protection, PDWORD old) {
    if (changesLeft >= 0 && TouchesWindow(address, size)) {
        if (changesLeft == 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        --changesLeft;
    }
    return VirtualProtectEx(GetCurrentProcess(), address, size, protection, old);
}

void WriteEntry(const uint8_t* bytes) {
    DWORD old = 0;
    VirtualProtectEx(GetCurrentProcess(), entry, sizeof originalEntry, PAGE_EXECUTE_READWRITE, &old);
    memcpy(entry, bytes, sizeof originalEntry);
    VirtualProtectEx(GetCurrentProcess(), entry, sizeof originalEntry, old, &old);
    FlushInstructionCache(GetCurrentProcess(), entry, sizeof originalEntry);
}

void RedirectVirtualProtect() {
    if (entry) return;
    entry = reinterpret_cast<uint8_t*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "VirtualProtect"));
    memcpy(originalEntry, entry, sizeof originalEntry);
    uint8_t jump[5] = {0xE9};
    const uint32_t displacement = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&LockedVirtualProtect) -
                                                        (reinterpret_cast<uintptr_t>(entry) + 5));
    memcpy(jump + 1, &displacement, 4);
    WriteEntry(jump);
}

}  // namespace

void LockHostCode(int allowedChanges) {
    if (allowedChanges < 0) {
        changesLeft = -1;
        if (entry) WriteEntry(originalEntry);
        entry = nullptr;
        return;
    }
    RedirectVirtualProtect();
    changesLeft = allowedChanges;
}

}  // namespace sim
