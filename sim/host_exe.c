/* quellhost.exe: a process shaped like GTA III 1.0 for the plugin's eyes.
 *
 * It is based at 0x400000 and reports the game's TimeDateStamp and
 * SizeOfImage in its in-memory PE header, and the first word of the game's
 * entry point at its address. Its own code stays far below
 * 0x420000; a large zero-filled array keeps 0x420000..0x982000 inside the
 * image, where the simulator writes the game's code and data. It then loads
 * the DLL named on its command line (a test DLL or quellsim.dll) and runs
 * that DLL's HostMain. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>

#define WINDOW_START 0x420000u
#define WINDOW_END 0x982000u
#define GAME_TIMESTAMP 0x3CCECE14u
#define GAME_IMAGE_SIZE 0x582000u
#define GAME_ENTRY_POINT 0x5C1E70u
#define GAME_ENTRY_WORD 0x53E58955u /* push ebp; mov ebp, esp; push ebx */

__attribute__((used)) static unsigned char hostImage[WINDOW_END - 0x400000u];

typedef int(__cdecl* HostMainFn)(int argc, wchar_t** argv);

static int MakeWindow(void) {
    DWORD old = 0;
    if ((DWORD)(UINT_PTR)hostImage > WINDOW_START || (DWORD)(UINT_PTR)(hostImage + sizeof hostImage) < WINDOW_END) {
        fprintf(stderr, "quellhost: the image does not cover the host window\n");
        return 0;
    }
    return VirtualProtect((void*)WINDOW_START, WINDOW_END - WINDOW_START, PAGE_EXECUTE_READWRITE, &old);
}

static int WriteGameHeader(void) {
    BYTE* base = (BYTE*)GetModuleHandleW(NULL);
    IMAGE_NT_HEADERS32* nt = (IMAGE_NT_HEADERS32*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    DWORD old = 0;
    if (base != (BYTE*)0x400000 || !VirtualProtect(base, 0x1000, PAGE_READWRITE, &old)) return 0;
    nt->FileHeader.TimeDateStamp = GAME_TIMESTAMP;
    nt->OptionalHeader.SizeOfImage = GAME_IMAGE_SIZE;
    *(volatile DWORD*)GAME_ENTRY_POINT = GAME_ENTRY_WORD;
    return 1;
}

int main(void) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        fprintf(stderr, "usage: quellhost DLL [arguments]\n");
        return 2;
    }
    if (!MakeWindow() || !WriteGameHeader()) {
        fprintf(stderr, "quellhost: cannot shape the process as the game\n");
        return 2;
    }
    HMODULE dll = LoadLibraryW(argv[1]);
    HostMainFn hostMain = dll ? (HostMainFn)(void*)GetProcAddress(dll, "HostMain") : NULL;
    if (!hostMain) {
        fprintf(stderr, "quellhost: cannot load %ls (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    int rc = hostMain(argc - 1, argv + 1);
    fflush(stdout);
    return rc;
}
