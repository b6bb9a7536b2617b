// Windows' loader where Wine's is more lenient. FreeLibrary of a module's
// last reference unmaps it whatever its DLL_PROCESS_DETACH asks for: Windows
// 8 and later refuse a pin requested there (the load count is already 0, so
// LdrpPinModule fails with STATUS_UNSUCCESSFUL), and XP has unlinked the
// module before DllMain runs. Wine grants the pin and keeps the module mapped.
#include <windows.h>

#include "sim.h"

namespace sim {

namespace {

HMODULE unloading;
EntryRedirect getModuleHandleEx;

bool NamesModule(DWORD flags, LPCWSTR name, HMODULE module) {
    if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        MEMORY_BASIC_INFORMATION info = {};
        return VirtualQuery(name, &info, sizeof info) && info.AllocationBase == module;
    }
    return name && GetModuleHandleW(name) == module;
}

BOOL WINAPI WindowsGetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module) {
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_PIN) && unloading && NamesModule(flags, name, unloading)) {
        if (module) *module = nullptr;
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    RestoreEntry(getModuleHandleEx);
    const BOOL found = GetModuleHandleExW(flags, name, module);
    RedirectEntry(getModuleHandleEx, "GetModuleHandleExW", reinterpret_cast<const void*>(&WindowsGetModuleHandleExW));
    return found;
}

}  // namespace

void FreeLastReference(void* module) {
    RedirectEntry(getModuleHandleEx, "GetModuleHandleExW", reinterpret_cast<const void*>(&WindowsGetModuleHandleExW));
    unloading = static_cast<HMODULE>(module);
    FreeLibrary(unloading);
    unloading = nullptr;
    RestoreEntry(getModuleHandleEx);
}

}  // namespace sim
