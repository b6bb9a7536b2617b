#include <windows.h>

#include "overlay/progress_summary.h"
#include "settings/settings.h"

namespace {

constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);  // GetAsyncKeyState: the key is down now

bool keyWasDown;

struct AfterLoad {
    bool due;       // a save was loaded and no summary shown since
    bool counting;  // the overlay has drawn since the load, from `since` on
    uint32_t since;
};
AfterLoad afterLoad;

// Windows tells every process the keyboard's state, whichever window is in
// front: a press counts only while a window of the game's process is.
bool GameHasFocus() {
    DWORD process = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &process);
    return process == GetCurrentProcessId();
}

// One key-state read a frame; a press is the frame on which the key goes down,
// so a key held down shows the summary once.
bool ProgressKeyPressed() {
    const uint8_t key = settings.ProgressKey;
    const bool down = key != 0 && (GetAsyncKeyState(key) & kKeyDown) != 0;
    const bool pressed = down && !keyWasDown;
    keyWasDown = down;
    return pressed && GameHasFocus();
}

// The game clock may jump while a save loads, so the wait starts with the
// first frame the overlay draws afterwards.
bool SummaryDueAfterLoad(uint32_t now) {
    if (!afterLoad.due) return false;
    if (!settings.ProgressOnLoad) {
        afterLoad = {};
        return false;
    }
    if (!afterLoad.counting) {
        afterLoad = {true, true, now};
        return false;
    }
    return now - afterLoad.since >= kSummaryAfterLoadMs;
}

}  // namespace

void ShowSummaryWhenAsked(uint32_t now) {
    if (!ProgressKeyPressed() && !SummaryDueAfterLoad(now)) return;
    afterLoad = {};  // a press meanwhile has told what the load would
    ShowProgressSummary(now);
}

void SummaryAfterLoad() { afterLoad = {true, false, 0}; }

void NoSummaryAfterLoad() { afterLoad = {}; }
