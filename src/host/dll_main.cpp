// The shipped module's entry point. Everything it does lives in module_entry.cpp.
#include <windows.h>

#include "host/module_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) AttachModule(module);
    else if (reason == DLL_PROCESS_DETACH) DetachModule(reserved);
    return TRUE;
}
