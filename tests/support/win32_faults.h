// Failure injection for the real Win32 calls of the plugin's code in the
// unit-test DLL. The DLL defines the import pointers (__imp__Name@N) of these
// functions itself, so every call the plugin makes goes through a wrapper
// that fails on demand and otherwise calls the real function. A failed call
// does nothing and returns what Windows returns on failure. GetTickCount and
// GetCurrentProcess cannot fail and are not wrapped. The shipped module is
// not affected: it links the system's import libraries.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include <functional>

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
    kWriteFile,
    kCloseHandle,
    kGetPrivateProfileStringW,
    kSetBkMode,
    kSetTextColor,
    kGdiFlush,
    kDisableThreadLibraryCalls,
    kMoveFileExW,
    kFlushFileBuffers,
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

// One sequence over every wrapped API: call number `nth` of all of them
// (1 = the next one) fails; 0 fails none. Counted from now.
void FailNthOfAll(int nth);
// Wrapped calls since the last FailNthOfAll (or Clear).
int CallsOfAll();

// A path's fault sweep: `run` once without failures counts the wrapped calls
// it makes, then `prepare` and `run` again for every k up to that count with
// call k failing. `check` follows every run, told which API failed (kApiCount
// for the counting run). Prints and records the count; returns it.
int Sweep(const char* path, const std::function<void()>& prepare, const std::function<void()>& run,
          const std::function<void(Api failed)>& check);

// GetModuleFileNameW answers with this path (truncated as Windows does);
// nullptr restores the real answer.
void OverrideModuleFileName(const wchar_t* path);
// GetModuleHandleW(nullptr) answers with this value; nullptr restores the real one.
void OverrideMainModule(HMODULE module);
// The next successful WritePrivateProfileStringW leaves its file this many
// bytes shorter and still reports success; 0 cuts nothing.
void ShortenNextProfileWrite(DWORD bytes);
// Runs after every successful ReadFile, e.g. to grow the file being read.
extern void (*afterReadFile)(HANDLE file, DWORD bytesRead);
// Sees the section and key of every GetPrivateProfileStringW call, e.g. to
// learn which settings the plugin reads.
extern void (*onProfileRead)(const wchar_t* section, const wchar_t* key);
// Sees the device context of every DrawTextW call before it draws, e.g. to
// learn which font the plugin selected into it.
extern void (*onDrawText)(HDC dc, const wchar_t* text);
// Runs after every DrawTextW and may change its answer, e.g. to make a text
// measure a size no real text reaches.
extern void (*afterDrawText)(UINT format, RECT* rect, int* result);

// The ranges FlushInstructionCache was asked to flush since the last Clear,
// as (address, bytes).
std::vector<std::pair<uintptr_t, SIZE_T>> FlushedRanges();

// GDI objects the code under test created and has not deleted yet.
int LiveGdiObjects();
// VirtualAlloc blocks not yet released.
int LiveAllocations();
// Handles CreateFileW or CreateFileA opened that are not closed yet.
int LiveFileHandles();
// Closes for real the handles a failed CloseHandle left open, so that one
// case's open file does not fail the next case of a sweep.
void CloseLeftOpenFiles();

}  // namespace faults
