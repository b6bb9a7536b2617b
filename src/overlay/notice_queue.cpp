#include "overlay/notice_queue.h"

NoticeSlot bannerSlot;
NoticeSlot lineSlot;

namespace NoticeOverlay {

void Show(unsigned int gang, unsigned int count, Kind kind, unsigned int now) {
    if (gang > 3) return;
    if (kind == BroughtToKnees) {
        bannerSlot = {gang, count, BroughtToKnees, now, kNoticeMs};
        lineSlot = {gang, count, SurvivorsKeepDistance, now, kFollowUpNoticeMs};
        return;
    }
    lineSlot = {gang, count, kind, now, kNoticeMs};
}

void Reset() {
    bannerSlot.duration = 0;
    lineSlot.duration = 0;
}

}  // namespace NoticeOverlay

void ComposeNoticeText(const NoticeSlot&, int, wchar_t (&text)[kNoticeTextUnits]) {
    for (wchar_t& unit : text) unit = 0;
}
