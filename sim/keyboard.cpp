// The keyboard and the window in front, as Windows reports them to the game's
// process. The process-wide entries of GetAsyncKeyState and
// GetForegroundWindow are redirected here, so a script or test can press a
// key and give the game's window the focus or take it away.
#include <windows.h>

#include <cstring>

#include "sim.h"
#include "world.h"

namespace sim {

namespace {

constexpr SHORT kDown = static_cast<SHORT>(0x8000);

bool keysDown[256];
Foreground foreground = Foreground::Game;
HWND gameWindow;  // a window of this process, as the game's own

// Windows reports a key's state to every process, whichever window is in
// front. The low bit ("pressed since the last call") is never set: Windows
// shares it with every other caller, so nothing may rely on it.
SHORT WINAPI FakeGetAsyncKeyState(int key) {
    return key >= 0 && key < 256 && keysDown[key] ? kDown : 0;
}

// Another program in front: Windows returns that program's window; the
// desktop's belongs to a process of the system. While the focus moves
// between windows, Windows returns NULL.
HWND WINAPI FakeGetForegroundWindow() {
    switch (foreground) {
        case Foreground::Game: return gameWindow;
        case Foreground::OtherProgram: return GetDesktopWindow();
        case Foreground::Nobody: break;
    }
    return nullptr;
}

void Redirect(const char* name, const void* to) {
    auto* entry = reinterpret_cast<uint8_t*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
    uint8_t jump[5] = {0xE9};
    const uint32_t displacement =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(to) - (reinterpret_cast<uintptr_t>(entry) + 5));
    memcpy(jump + 1, &displacement, 4);
    DWORD old = 0;
    VirtualProtectEx(GetCurrentProcess(), entry, sizeof jump, PAGE_EXECUTE_READWRITE, &old);
    memcpy(entry, jump, sizeof jump);
    VirtualProtectEx(GetCurrentProcess(), entry, sizeof jump, old, &old);
    FlushInstructionCache(GetCurrentProcess(), entry, sizeof jump);
}

}  // namespace

void ResetKeyboard() {
    if (!gameWindow) {
        gameWindow = CreateWindowExW(0, L"STATIC", L"GTA3", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        Redirect("GetAsyncKeyState", reinterpret_cast<const void*>(&FakeGetAsyncKeyState));
        Redirect("GetForegroundWindow", reinterpret_cast<const void*>(&FakeGetForegroundWindow));
    }
    memset(keysDown, 0, sizeof keysDown);
    foreground = Foreground::Game;
}

void SetKeyDown(uint8_t virtualKey, bool down) { keysDown[virtualKey] = down; }

void SetForeground(Foreground window) { foreground = window; }

}  // namespace sim
