#include "fear/fear_state.h"
#include "host/handler_entries.h"
#include "host/hook_engine.h"
#include "overlay/notice_queue.h"
#include "overlay/notice_render.h"
#include "overlay/progress_summary.h"
#include "settings/settings.h"

namespace {

bool OverlayHidden() {
    for (int gate = 0; gate < 3; ++gate)
        if (host::OverlayGate(gate) != 0) return true;
    return false;
}

// The Language setting; auto follows the game's language word.
NoticeLanguage ChosenLanguage() {
    switch (settings.Language) {
        case LanguageChoice::English: return NoticeLanguage::English;
        case LanguageChoice::Russian: return NoticeLanguage::Russian;
        case LanguageChoice::French: return NoticeLanguage::French;
        case LanguageChoice::German: return NoticeLanguage::German;
        case LanguageChoice::Italian: return NoticeLanguage::Italian;
        case LanguageChoice::Spanish: return NoticeLanguage::Spanish;
        case LanguageChoice::Auto: break;
    }
    return LanguageOfGameWord(host::LanguageWord(), russianWindows);
}

// Switching notices off clears the queue; the draw then releases the textures.
void DrawNoticesUnlessSwitchedOff(uint32_t now, NoticeLanguage language, int screenWidth, int screenHeight) {
    if (!settings.Enabled || !settings.EnableNotifications) NoticeOverlay::Reset();
    DrawNotices(now, language, screenWidth, screenHeight);
}

}  // namespace

// The host's frame drawing runs first, so the notices lie over everything it drew.
void __cdecl RenderHook() {
    Trampoline<host::RenderFrameFn>(kHookRenderFrame)();
    if (!fearState.active) return;
    WatchHookSites();
    if (OverlayHidden()) return;
    if (settings.Enabled && settings.EnableNotifications) ShowSummaryWhenAsked(host::GameClock());
    DrawNoticesUnlessSwitchedOff(host::GameClock(), ChosenLanguage(), host::ScreenWidth(), host::ScreenHeight());
}

namespace NoticeOverlay {

// Another plugin's call draws what the plugin's own frame would, in the
// language of the flag it passes (0 English, otherwise Russian): nothing
// while the plugin is off, which it is in any game it refused (the host
// routines the drawing calls may not be there), and nothing but the release
// of the textures while the settings switch notices off.
void Draw(unsigned int now, int language, int screenWidth, int screenHeight) {
    if (!fearState.active) return;
    DrawNoticesUnlessSwitchedOff(now, LanguageOfFlag(language), screenWidth, screenHeight);
}

}  // namespace NoticeOverlay
