#include "fear/fear_state.h"
#include "host/handler_entries.h"
#include "host/hook_engine.h"
#include "overlay/notice_queue.h"
#include "settings/settings.h"

namespace {

bool OverlayHidden() {
    for (int gate = 0; gate < 3; ++gate)
        if (host::OverlayGate(gate) != 0) return true;
    return false;
}

}  // namespace

// The host's frame drawing runs first, so the notices lie over everything it drew.
void __cdecl RenderHook() {
    Trampoline<host::RenderFrameFn>(kHookRenderFrame)();
    if (!fearState.active) return;
    if (OverlayHidden()) return;
    // Switching notices off clears the queue; the draw then releases the textures.
    if (!settings.Enabled || !settings.EnableNotifications) NoticeOverlay::Reset();
    NoticeOverlay::Draw(host::GameClock(), static_cast<int>(host::LanguageWord()), host::ScreenWidth(),
                        host::ScreenHeight());
}
