#include "support/win32_faults.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace faults {

void (*afterReadFile)(HANDLE, DWORD);
void (*onProfileRead)(const wchar_t*, const wchar_t*);
void (*onDrawText)(HDC, const wchar_t*);
void (*afterDrawText)(UINT, RECT*, int*);

namespace {

struct ApiState {
    int calls;
    int failAt;
    bool failAfter;
};

ApiState states[kApiCount];
int callsOfAll;
int failOfAllAt;
Api failedOfAll = kApiCount;
const wchar_t* moduleFileName;
HMODULE mainModule;
DWORD profileWriteShortBy;
std::set<HGDIOBJ>& liveGdi() {
    static std::set<HGDIOBJ> objects;
    return objects;
}
// Memory contexts created and not deleted yet: what an object may be selected into.
std::set<HDC>& liveContexts() {
    static std::set<HDC> contexts;
    return contexts;
}
std::set<void*>& liveBlocks() {
    static std::set<void*> blocks;
    return blocks;
}
std::set<HANDLE>& liveFiles() {
    static std::set<HANDLE> files;
    return files;
}

bool ShouldFail(Api api) {
    ApiState& s = states[api];
    ++s.calls;
    if (++callsOfAll == failOfAllAt) {
        failedOfAll = api;
        return true;
    }
    if (s.failAt <= 0) return false;
    return s.calls == s.failAt || (s.failAfter && s.calls > s.failAt);
}

HANDLE Opened(HANDLE file) {
    if (file != INVALID_HANDLE_VALUE) liveFiles().insert(file);
    return file;
}

template <typename Fn>
Fn Real(const char* dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(dll), name)));
}
#define REAL(dll, name) static const auto real = Real<decltype(&name##Fake)>(dll, #name)

LPVOID WINAPI VirtualAllocFake(LPVOID address, SIZE_T size, DWORD type, DWORD protection) {
    REAL("kernel32.dll", VirtualAlloc);
    if (ShouldFail(kVirtualAlloc)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    LPVOID block = real(address, size, type, protection);
    if (block && !address) liveBlocks().insert(block);
    return block;
}

BOOL WINAPI VirtualProtectFake(LPVOID address, SIZE_T size, DWORD protection, PDWORD old) {
    REAL("kernel32.dll", VirtualProtect);
    if (ShouldFail(kVirtualProtect)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return real(address, size, protection, old);
}

BOOL WINAPI VirtualFreeFake(LPVOID address, SIZE_T size, DWORD type) {
    REAL("kernel32.dll", VirtualFree);
    if (ShouldFail(kVirtualFree)) return FALSE;
    // Only a release Windows carried out frees the block (a size other than 0 is refused).
    const BOOL released = real(address, size, type);
    if (released && type == MEM_RELEASE) liveBlocks().erase(address);
    return released;
}

std::vector<std::pair<uintptr_t, SIZE_T>> flushed;

BOOL WINAPI FlushInstructionCacheFake(HANDLE process, LPCVOID address, SIZE_T size) {
    REAL("kernel32.dll", FlushInstructionCache);
    if (ShouldFail(kFlushInstructionCache)) return FALSE;
    flushed.emplace_back(reinterpret_cast<uintptr_t>(address), size);
    return real(process, address, size);
}

DWORD WINAPI GetModuleFileNameWFake(HMODULE module, LPWSTR buffer, DWORD size) {
    REAL("kernel32.dll", GetModuleFileNameW);
    if (ShouldFail(kGetModuleFileNameW)) return 0;
    if (!moduleFileName) return real(module, buffer, size);
    const DWORD length = static_cast<DWORD>(lstrlenW(moduleFileName));
    if (size == 0) return 0;
    if (length >= size) {  // truncated, terminated, the size returned, as Windows does
        lstrcpynW(buffer, moduleFileName, static_cast<int>(size));
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    lstrcpyW(buffer, moduleFileName);
    return length;
}

HMODULE WINAPI GetModuleHandleWFake(LPCWSTR name) {
    REAL("kernel32.dll", GetModuleHandleW);
    if (ShouldFail(kGetModuleHandleW)) return nullptr;
    if (!name && mainModule) return mainModule;
    return real(name);
}

HANDLE WINAPI CreateFileWFake(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
    REAL("kernel32.dll", CreateFileW);
    if (ShouldFail(kCreateFileW)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return Opened(real(name, access, share, security, disposition, flags, templateFile));
}

HANDLE WINAPI CreateFileAFake(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
    REAL("kernel32.dll", CreateFileA);
    if (ShouldFail(kCreateFileA)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    return Opened(real(name, access, share, security, disposition, flags, templateFile));
}

BOOL WINAPI WriteFileFake(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) {
    REAL("kernel32.dll", WriteFile);
    if (written) *written = 0;
    if (ShouldFail(kWriteFile)) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return real(file, buffer, toWrite, written, overlapped);
}

// A handle whose close failed stays open, as it does in Windows.
BOOL WINAPI CloseHandleFake(HANDLE handle) {
    REAL("kernel32.dll", CloseHandle);
    if (ShouldFail(kCloseHandle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    liveFiles().erase(handle);
    return real(handle);
}

BOOL WINAPI ReadFileFake(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
    REAL("kernel32.dll", ReadFile);
    if (ShouldFail(kReadFile)) {
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    const BOOL ok = real(file, buffer, toRead, read, overlapped);
    if (ok && afterReadFile) afterReadFile(file, read ? *read : 0);
    return ok;
}

BOOL WINAPI GetFileSizeExFake(HANDLE file, PLARGE_INTEGER size) {
    REAL("kernel32.dll", GetFileSizeEx);
    if (ShouldFail(kGetFileSizeEx)) return FALSE;
    return real(file, size);
}

// On a disk that fills up during the rewrite, Windows' WritePrivateProfileStringW
// can report success for a file it left short (seen cut at a 4096-byte
// boundary in the middle of the new entry). Wine is not known to answer so;
// on demand the fake cuts the file after a successful call and answers
// success, as Windows can.
BOOL WINAPI WritePrivateProfileStringWFake(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
    REAL("kernel32.dll", WritePrivateProfileStringW);
    static const auto open = Real<decltype(&CreateFileW)>("kernel32.dll", "CreateFileW");
    static const auto close = Real<decltype(&CloseHandle)>("kernel32.dll", "CloseHandle");
    if (ShouldFail(kWritePrivateProfileStringW)) return FALSE;
    const BOOL ok = real(section, key, value, file);
    if (!ok || profileWriteShortBy == 0) return ok;
    HANDLE written = open(file, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER back;
    back.QuadPart = -static_cast<LONGLONG>(profileWriteShortBy);
    profileWriteShortBy = 0;
    const bool cut = written != INVALID_HANDLE_VALUE && SetFilePointerEx(written, back, nullptr, FILE_END) &&
                     SetEndOfFile(written);
    if (written != INVALID_HANDLE_VALUE) close(written);
    EXPECT_TRUE(cut) << "the written file could not be cut short";
    return ok;
}

BOOL WINAPI MoveFileExWFake(LPCWSTR from, LPCWSTR to, DWORD flags) {
    REAL("kernel32.dll", MoveFileExW);
    if (ShouldFail(kMoveFileExW)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return real(from, to, flags);
}

BOOL WINAPI FlushFileBuffersFake(HANDLE file) {
    REAL("kernel32.dll", FlushFileBuffers);
    if (ShouldFail(kFlushFileBuffers)) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return real(file);
}

HDC WINAPI CreateCompatibleDCFake(HDC dc) {
    REAL("gdi32.dll", CreateCompatibleDC);
    if (ShouldFail(kCreateCompatibleDC)) return nullptr;
    HDC created = real(dc);
    if (created) {
        liveGdi().insert(created);
        liveContexts().insert(created);
    }
    return created;
}

HFONT WINAPI CreateFontWFake(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                             DWORD underline, DWORD strikeOut, DWORD charset, DWORD outPrecision,
                             DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCWSTR face) {
    REAL("gdi32.dll", CreateFontW);
    if (ShouldFail(kCreateFontW)) return nullptr;
    HFONT font = real(height, width, escapement, orientation, weight, italic, underline, strikeOut, charset,
                      outPrecision, clipPrecision, quality, pitchAndFamily, face);
    if (font) liveGdi().insert(font);
    return font;
}

HGDIOBJ WINAPI SelectObjectFake(HDC dc, HGDIOBJ object) {
    REAL("gdi32.dll", SelectObject);
    if (ShouldFail(kSelectObject)) return nullptr;
    return real(dc, object);
}

int WINAPI DrawTextWFake(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format) {
    REAL("user32.dll", DrawTextW);
    if (ShouldFail(kDrawTextW)) return 0;
    if (onDrawText) onDrawText(dc, text);
    int result = real(dc, text, length, rect, format);
    if (afterDrawText) afterDrawText(format, rect, &result);
    return result;
}

HBITMAP WINAPI CreateDIBSectionFake(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset) {
    REAL("gdi32.dll", CreateDIBSection);
    if (ShouldFail(kCreateDIBSection)) {
        if (bits) *bits = nullptr;
        return nullptr;
    }
    HBITMAP bitmap = real(dc, info, usage, bits, section, offset);
    if (bitmap) liveGdi().insert(bitmap);
    return bitmap;
}

BOOL WINAPI DeleteObjectFake(HGDIOBJ object) {
    REAL("gdi32.dll", DeleteObject);
    if (ShouldFail(kDeleteObject)) return FALSE;
    // Windows refuses to delete an object still selected into a context, and
    // it stays allocated; Wine would defer the deletion instead and hide the leak.
    for (HDC dc : liveContexts())
        if (GetCurrentObject(dc, OBJ_FONT) == object || GetCurrentObject(dc, OBJ_BITMAP) == object) return FALSE;
    liveGdi().erase(object);
    return real(object);
}

DWORD WINAPI GetPrivateProfileStringWFake(LPCWSTR section, LPCWSTR key, LPCWSTR fallback, LPWSTR buffer,
                                          DWORD size, LPCWSTR file) {
    REAL("kernel32.dll", GetPrivateProfileStringW);
    if (onProfileRead) onProfileRead(section, key);
    if (ShouldFail(kGetPrivateProfileStringW)) {  // the default, as for a file that cannot be read
        if (size == 0) return 0;
        lstrcpynW(buffer, fallback ? fallback : L"", static_cast<int>(size));
        SetLastError(ERROR_FILE_NOT_FOUND);
        return static_cast<DWORD>(lstrlenW(buffer));
    }
    return real(section, key, fallback, buffer, size, file);
}

BOOL WINAPI DeleteDCFake(HDC dc) {
    REAL("gdi32.dll", DeleteDC);
    if (ShouldFail(kDeleteDC)) return FALSE;
    liveGdi().erase(dc);
    liveContexts().erase(dc);
    return real(dc);
}

int WINAPI SetBkModeFake(HDC dc, int mode) {
    REAL("gdi32.dll", SetBkMode);
    if (ShouldFail(kSetBkMode)) return 0;
    return real(dc, mode);
}

COLORREF WINAPI SetTextColorFake(HDC dc, COLORREF colour) {
    REAL("gdi32.dll", SetTextColor);
    if (ShouldFail(kSetTextColor)) return CLR_INVALID;
    return real(dc, colour);
}

BOOL WINAPI GdiFlushFake() {
    REAL("gdi32.dll", GdiFlush);
    if (ShouldFail(kGdiFlush)) return FALSE;
    return real();
}

BOOL WINAPI DisableThreadLibraryCallsFake(HMODULE module) {
    REAL("kernel32.dll", DisableThreadLibraryCalls);
    if (ShouldFail(kDisableThreadLibraryCalls)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return real(module);
}

constexpr const char* kApiNames[] = {
    "VirtualAlloc", "VirtualProtect", "VirtualFree", "FlushInstructionCache", "GetModuleFileNameW",
    "GetModuleHandleW", "CreateFileW", "CreateFileA", "ReadFile", "GetFileSizeEx", "WritePrivateProfileStringW",
    "CreateCompatibleDC", "CreateFontW", "SelectObject", "DrawTextW", "CreateDIBSection", "DeleteObject",
    "DeleteDC", "WriteFile", "CloseHandle", "GetPrivateProfileStringW", "SetBkMode", "SetTextColor", "GdiFlush",
    "DisableThreadLibraryCalls", "MoveFileExW", "FlushFileBuffers",
};
static_assert(sizeof kApiNames / sizeof *kApiNames == kApiCount, "a name for every API");

const char* ApiName(Api api) { return api < kApiCount ? kApiNames[api] : "none"; }

}  // namespace

void FailCall(Api api, int nth) { states[api] = ApiState{0, nth, false}; }
void FailFrom(Api api, int nth) { states[api] = ApiState{0, nth, true}; }

void FailNthOfAll(int nth) {
    callsOfAll = 0;
    failOfAllAt = nth;
    failedOfAll = kApiCount;
}
int CallsOfAll() { return callsOfAll; }

int Sweep(const char* path, const std::function<void()>& prepare, const std::function<void()>& run,
          const std::function<void(Api failed)>& check) {
    int count = 0;
    for (int k = 0; k <= count; ++k) {
        prepare();
        FailNthOfAll(k);
        run();
        if (k == 0) count = CallsOfAll();
        const Api failed = failedOfAll;
        FailNthOfAll(0);  // the check's own calls never fail
        SCOPED_TRACE(testing::Message() << path << ": call " << k << " of " << count << " failing, "
                                        << ApiName(failed));
        if (k > 0) EXPECT_NE(failed, kApiCount) << "fewer calls than without failures";
        check(failed);
    }
    printf("fault sweep of %s: %d cases\n", path, count);
    testing::Test::RecordProperty(std::string(path) + "FaultCases", count);
    return count;
}

std::vector<std::pair<uintptr_t, SIZE_T>> FlushedRanges() { return flushed; }

void Clear() {
    flushed.clear();
    for (ApiState& s : states) s = ApiState{};
    FailNthOfAll(0);
    moduleFileName = nullptr;
    mainModule = nullptr;
    profileWriteShortBy = 0;
    afterReadFile = nullptr;
    onProfileRead = nullptr;
    onDrawText = nullptr;
    afterDrawText = nullptr;
}

int Calls(Api api) { return states[api].calls; }
void OverrideModuleFileName(const wchar_t* path) { moduleFileName = path; }
void ShortenNextProfileWrite(DWORD bytes) { profileWriteShortBy = bytes; }
void OverrideMainModule(HMODULE module) { mainModule = module; }
int LiveGdiObjects() { return static_cast<int>(liveGdi().size()); }
int LiveAllocations() { return static_cast<int>(liveBlocks().size()); }
int LiveFileHandles() { return static_cast<int>(liveFiles().size()); }

void CloseLeftOpenFiles() {
    static const auto close = Real<decltype(&CloseHandle)>("kernel32.dll", "CloseHandle");
    for (HANDLE file : liveFiles()) close(file);
    liveFiles().clear();
}

}  // namespace faults

// The import pointers the plugin's code calls through.
#define QB_IMPORT(name, decorated) \
    extern "C" void* qbImport_##name asm("__imp__" decorated); \
    void* qbImport_##name = reinterpret_cast<void*>(&faults::name##Fake)

QB_IMPORT(VirtualAlloc, "VirtualAlloc@16");
QB_IMPORT(VirtualProtect, "VirtualProtect@16");
QB_IMPORT(VirtualFree, "VirtualFree@12");
QB_IMPORT(FlushInstructionCache, "FlushInstructionCache@12");
QB_IMPORT(GetModuleFileNameW, "GetModuleFileNameW@12");
QB_IMPORT(GetModuleHandleW, "GetModuleHandleW@4");
QB_IMPORT(CreateFileW, "CreateFileW@28");
QB_IMPORT(CreateFileA, "CreateFileA@28");
QB_IMPORT(ReadFile, "ReadFile@20");
QB_IMPORT(GetFileSizeEx, "GetFileSizeEx@8");
QB_IMPORT(WritePrivateProfileStringW, "WritePrivateProfileStringW@16");
QB_IMPORT(GetPrivateProfileStringW, "GetPrivateProfileStringW@24");
QB_IMPORT(CreateCompatibleDC, "CreateCompatibleDC@4");
QB_IMPORT(CreateFontW, "CreateFontW@56");
QB_IMPORT(SelectObject, "SelectObject@8");
QB_IMPORT(DrawTextW, "DrawTextW@20");
QB_IMPORT(CreateDIBSection, "CreateDIBSection@24");
QB_IMPORT(DeleteObject, "DeleteObject@4");
QB_IMPORT(DeleteDC, "DeleteDC@4");
QB_IMPORT(WriteFile, "WriteFile@20");
QB_IMPORT(CloseHandle, "CloseHandle@4");
QB_IMPORT(SetBkMode, "SetBkMode@8");
QB_IMPORT(SetTextColor, "SetTextColor@8");
QB_IMPORT(GdiFlush, "GdiFlush@0");
QB_IMPORT(DisableThreadLibraryCalls, "DisableThreadLibraryCalls@4");
QB_IMPORT(MoveFileExW, "MoveFileExW@12");
QB_IMPORT(FlushFileBuffers, "FlushFileBuffers@4");
