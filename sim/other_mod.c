/* widescreen.asi: another mod of the game, loaded next to the plugin by the
 * simulator. It only provides a routine that quellsim's `other-mod` verb (and
 * the tests) point a hook site at, as a mod that took over the same routine
 * of the game would, and counts how often the game ran it. */
#include <windows.h>

__declspec(dllexport) volatile LONG takenOverRuns;

__declspec(dllexport) void __cdecl TakenOverRoutine(void) { ++takenOverRuns; }

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)module;
    (void)reason;
    (void)reserved;
    return TRUE;
}
