// The few Windows SDK declarations that QuellbrandNotices.h uses, spelled as
// the SDK spells them, for compiling it under the MSVC ABI where no Windows
// SDK is installed (clang --target=i686-pc-windows-msvc).
#pragma once

#define WINAPI __stdcall

typedef wchar_t WCHAR;
typedef const WCHAR* LPCWSTR;
typedef const char* LPCSTR;
typedef int INT_PTR;
struct HINSTANCE__ {
    int unused;
};
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef INT_PTR(WINAPI* FARPROC)();

extern "C" __declspec(dllimport) HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);
extern "C" __declspec(dllimport) FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
