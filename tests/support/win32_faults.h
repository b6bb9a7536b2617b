// Failure injection for the real Win32 calls of the plugin's code in the
// unit-test DLL. The DLL defines the import pointers (__imp__Name@N) of these
// functions itself, so every call the plugin makes goes through a wrapper
// that fails on demand and otherwise calls the real function. The shipped
// module is not affected: it links the system's import libraries.
#pragma once

#include <windows.h>

namespace faults {

enum Api {
    kVirtualAlloc,
    kVirtualProtect,
    kVirtualFree,
    kFlushInstructionCache,
    kGetModuleFileNameW,
    kGetModuleHandleW,
    kCreateFileW,
    kCreateFileA,
    kReadFile,
    kGetFileSizeEx,
    kWritePrivateProfileStringW,
    kCreateCompatibleDC,
    kCreateFontW,
    kSelectObject,
    kDrawTextW,
    kCreateDIBSection,
    kDeleteObject,
    kDeleteDC,
    kApiCount
};

// Call number `nth` of `api` (1 = the next one) fails; counted from now.
void FailCall(Api api, int nth);
// Every call of `api` from call number `nth` on fails.
void FailFrom(Api api, int nth);
// No failures, no overrides, counters at zero.
void Clear();
// Calls of `api` since the last Clear (or FailCall/FailFrom of that api).
int Calls(Api api);

// GetModuleFileNameW answers with this path (truncated as Windows does);
// nullptr restores the real answer.
void OverrideModuleFileName(const wchar_t* path);
// GetModuleHandleW(nullptr) answers with this value; nullptr restores the real one.
void OverrideMainModule(HMODULE module);
// Runs after every successful ReadFile, e.g. to grow the file being read.
extern void (*afterReadFile)(HANDLE file, DWORD bytesRead);
// Sees the section and key of every GetPrivateProfileStringW call, e.g. to
// learn which settings the plugin reads.
extern void (*onProfileRead)(const wchar_t* section, const wchar_t* key);

// GDI objects the code under test created and has not deleted yet.
int LiveGdiObjects();
// VirtualAlloc blocks not yet released.
int LiveAllocations();

}  // namespace faults
