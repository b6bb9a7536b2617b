// Module entry: the side files' names, host recognition, and the start-up
// and unload sequences that DllMain runs.
#pragma once

#include <windows.h>

constexpr int kPathChars = 260;
extern wchar_t settingsPath[kPathChars];
extern wchar_t progressPath[kPathChars];
extern wchar_t logPath[kPathChars];

// True when the running executable is exactly the supported build.
bool IsSupportedHost();

// Process attach: paths, settings, host recognition, hooks, READY/DISABLED line.
void AttachModule(HMODULE module);
// Detach: undoes the hooks only for a dynamic unload (reserved == nullptr).
void DetachModule(LPVOID reserved);
