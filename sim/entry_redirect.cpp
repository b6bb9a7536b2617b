// A system function taken over for the whole process: its first instruction
// becomes a jump to a replacement, so that every module's calls reach the
// replacement, a module's own start-up included, before anything could touch
// its imports.
#include <windows.h>

#include <cstring>

#include "sim.h"

namespace sim {

namespace {

// VirtualProtectEx, since VirtualProtect itself may be the redirected entry.
void WriteEntry(uint8_t* entry, const uint8_t* bytes) {
    DWORD old = 0;
    VirtualProtectEx(GetCurrentProcess(), entry, kEntryBytes, PAGE_EXECUTE_READWRITE, &old);
    memcpy(entry, bytes, kEntryBytes);
    VirtualProtectEx(GetCurrentProcess(), entry, kEntryBytes, old, &old);
    FlushInstructionCache(GetCurrentProcess(), entry, kEntryBytes);
}

}  // namespace

void RedirectEntry(EntryRedirect& redirect, const char* name, const void* replacement) {
    if (redirect.entry) return;
    redirect.entry = reinterpret_cast<uint8_t*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
    if (!redirect.entry) return;
    memcpy(redirect.original, redirect.entry, kEntryBytes);
    uint8_t jump[kEntryBytes] = {0xE9};
    const uint32_t displacement = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(replacement) -
                                                        (reinterpret_cast<uintptr_t>(redirect.entry) + kEntryBytes));
    memcpy(jump + 1, &displacement, 4);
    WriteEntry(redirect.entry, jump);
}

void RestoreEntry(EntryRedirect& redirect) {
    if (!redirect.entry) return;
    WriteEntry(redirect.entry, redirect.original);
    redirect.entry = nullptr;
}

}  // namespace sim
