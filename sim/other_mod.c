/* widescreen.asi: another mod of the game, loaded next to the plugin by the
 * simulator. It only provides a routine that quellsim's `other-mod` verb (and
 * the tests) point a hook site at, as a mod that took over the same routine
 * of the game would. */
#include <windows.h>

__declspec(dllexport) void __cdecl TakenOverRoutine(void) {}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)module;
    (void)reason;
    (void)reserved;
    return TRUE;
}
