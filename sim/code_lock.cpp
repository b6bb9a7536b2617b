// The game's code held unwritable, as an anti-tamper layer or another program
// holding the executable's pages would hold it: VirtualProtect on the host's
// window fails once a number of protection changes has been spent. The
// process-wide entry of VirtualProtect is redirected here, so the lock also
// covers a module's own start-up.
#include <windows.h>

#include "sim.h"

namespace sim {

namespace {

constexpr uintptr_t kWindowStart = 0x420000;
constexpr uintptr_t kWindowEnd = 0x982000;

int changesLeft = -1;  // below 0: no lock
EntryRedirect virtualProtect;

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

}  // namespace

void LockHostCode(int allowedChanges) {
    if (allowedChanges < 0) {
        changesLeft = -1;
        RestoreEntry(virtualProtect);
        return;
    }
    RedirectEntry(virtualProtect, "VirtualProtect", reinterpret_cast<const void*>(&LockedVirtualProtect));
    changesLeft = allowedChanges;
}

}  // namespace sim
