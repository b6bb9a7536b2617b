// QuellbrandNoticeExample.asi: a minimal plugin that shows one line notice,
// "Triads members killed: 0", through Quellbrand's overlay once the game runs.
//
// It patches no game code. At load it starts a thread timer. A thread timer's
// callback runs only on the thread that started it, and only while that thread
// dispatches its window messages. ASI loaders normally load plugins on the
// game's main thread, whose message loop dispatches them between frames, so
// every call into Quellbrand comes from the game's thread. (A loader that
// loaded plugins on a thread of its own would dispatch no messages there, and
// the example would simply stay silent.)
//
// On each tick it looks Quellbrand up (it may be loaded after this plugin, or
// not at all) and reads the game clock. Once the clock has moved between two
// ticks, the game is running: it shows the notice with that clock as `now`
// and stops its timer. Without Quellbrand it keeps looking and never shows
// anything.
#include <windows.h>

#include "QuellbrandNotices.h"

namespace {

const UINT kTickMs = 100;

UINT_PTR tickTimer;
bool clockSeen;
unsigned int lastClock;

// The clock's page is committed and readable: always so in GTA III 1.0, but
// this plugin may be loaded into another program.
bool ReadGameClock(unsigned int& now) {
    const void* clock = reinterpret_cast<const void*>(QuellbrandNotices::GameClockAddress);
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(clock, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT) return false;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (!(info.Protect & readable) || (info.Protect & PAGE_GUARD)) return false;
    now = *static_cast<const volatile unsigned int*>(clock);
    return true;
}

void StopTicking() {
    if (tickTimer) KillTimer(nullptr, tickTimer);
    tickTimer = 0;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    QuellbrandNotices::Api notices;
    if (!QuellbrandNotices::Resolve(notices)) return;
    unsigned int now;
    if (!ReadGameClock(now)) return;
    const bool running = clockSeen && now != lastClock;
    clockSeen = true;
    lastClock = now;
    if (!running) return;
    notices.Show(0, 0, NoticeOverlay::MembersKilled, now);
    StopTicking();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(module);
        tickTimer = SetTimer(nullptr, 0, kTickMs, Tick);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the game runs: no tick may reach this code any more.
        StopTicking();
    }
    return TRUE;
}
