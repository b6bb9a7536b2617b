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

// The Language setting; auto keeps to the game's word (0 English, otherwise
// Russian), as Russian translations of the game take a non-English slot.
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
    return LanguageOfFlag(static_cast<int>(host::LanguageWord()));
}

}  // namespace

// The host's frame drawing runs first, so the notices lie over everything it drew.
void __cdecl RenderHook() {
    Trampoline<host::RenderFrameFn>(kHookRenderFrame)();
    if (!fearState.active) return;
    if (OverlayHidden()) return;
    // Switching notices off clears the queue; the draw then releases the textures.
    if (!settings.Enabled || !settings.EnableNotifications)
        NoticeOverlay::Reset();
    else
        ShowSummaryWhenAsked(host::GameClock());
    DrawNotices(host::GameClock(), ChosenLanguage(), host::ScreenWidth(), host::ScreenHeight());
}
