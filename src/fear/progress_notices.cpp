#include "fear/progress_notices.h"

#include <algorithm>

#include "fear/fear_state.h"
#include "fear/world_tick.h"
#include "overlay/notice_queue.h"
#include "settings/settings.h"

namespace {

constexpr NoticeOverlay::Kind kStageKinds[3] = {NoticeOverlay::Weakened, NoticeOverlay::LosingGround,
                                                NoticeOverlay::BroughtToKnees};

bool NoticeAllowed(uint32_t now) {
    if (!settings.Enabled || !settings.EnableNotifications || !NoMissionRunning()) return false;
    return !fearState.noticeShown || now - fearState.lastNoticeTime >= kNoticeCooldownMs;
}

int StagesReached(uint32_t kills) {
    if (kills < Stage2Kills()) return 1;
    return kills >= KillsRequired() ? 3 : 2;
}

bool AnnounceStage(int g, uint32_t now) {
    GangRecord& gang = fearState.gangs[g];
    if (!IsGangHostile(g) || gang.kills < Stage1Kills()) return false;
    const int reached = StagesReached(gang.kills);
    for (int s = 0; s < reached; ++s) {
        const uint32_t threshold = settings.stageKills[s];
        if (gang.announced[s] == threshold) continue;
        gang.announced[s] = threshold;
        const uint32_t passed = threshold - threshold % kMilestoneStep;
        gang.milestone = std::max(gang.milestone, passed);
        NoticeOverlay::Show(g, threshold, kStageKinds[s], now);
        return true;
    }
    return false;
}

bool AnnounceMilestone(int g, uint32_t now) {
    GangRecord& gang = fearState.gangs[g];
    if (!IsGangHostile(g) || gang.kills >= KillsRequired()) return false;
    // A milestone at or past the count has nothing to tell (and must not wrap).
    if (gang.milestone >= gang.kills) return false;
    for (uint32_t m = gang.milestone + kMilestoneStep; m <= gang.kills; m += kMilestoneStep) {
        gang.milestone = m;
        if (m == Stage1Kills() || m == Stage2Kills()) continue;
        NoticeOverlay::Show(g, m, NoticeOverlay::MembersKilled, now);
        return true;
    }
    return false;
}

bool AnnounceOne(uint32_t now) {
    for (int g = 0; g < kGangCount; ++g) {
        if (AnnounceStage(g, now)) return true;
    }
    for (int g = 0; g < kGangCount; ++g) {
        if (AnnounceMilestone(g, now)) return true;
    }
    return false;
}

}  // namespace

void RunNoticeStep(uint32_t now) {
    if (!NoticeAllowed(now)) return;
    if (!AnnounceOne(now)) return;
    fearState.lastNoticeTime = now;
    fearState.noticeShown = true;
}
