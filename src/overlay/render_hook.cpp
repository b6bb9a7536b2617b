#include "fear/fear_state.h"
#include "host/handler_entries.h"
#include "host/hook_engine.h"
#include "overlay/notice_queue.h"
#include "overlay/notice_render.h"
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

}  // namespace

// The host's frame drawing runs first, so the notices lie over everything it drew.
void __cdecl RenderHook() {
    Trampoline<host::RenderFrameFn>(kHookRenderFrame)();
    if (!fearState.active) return;
    WatchHookSites();
    if (OverlayHidden()) return;
    // Switching notices off clears the queue; the draw then releases the textures.
    if (!settings.Enabled || !settings.EnableNotifications) NoticeOverlay::Reset();
    DrawNotices(host::GameClock(), ChosenLanguage(), host::ScreenWidth(), host::ScreenHeight());
}
