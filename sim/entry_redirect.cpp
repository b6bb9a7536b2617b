#include "entry_redirect.h"

#include <windows.h>

namespace sim {

void EntryRedirect::Write(const uint8_t* bytes) {
    DWORD old = 0;
    VirtualProtectEx(GetCurrentProcess(), entry, sizeof original, PAGE_EXECUTE_READWRITE, &old);
    memcpy(entry, bytes, sizeof original);
    VirtualProtectEx(GetCurrentProcess(), entry, sizeof original, old, &old);
    FlushInstructionCache(GetCurrentProcess(), entry, sizeof original);
}

void EntryRedirect::WriteJump() {
    uint8_t jump[5] = {0xE9};
    const uint32_t displacement =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(fake) - (reinterpret_cast<uintptr_t>(entry) + 5));
    memcpy(jump + 1, &displacement, 4);
    Write(jump);
}

void EntryRedirect::Install(void* function, const void* replacement) {
    if (entry) return;
    entry = static_cast<uint8_t*>(function);
    fake = replacement;
    memcpy(original, entry, sizeof original);
    WriteJump();
}

void EntryRedirect::Remove() {
    if (entry) Write(original);
    entry = nullptr;
}

}  // namespace sim
