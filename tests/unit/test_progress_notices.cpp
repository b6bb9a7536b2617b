// Progress notices: stage notices at the thresholds, milestones every 25
// kills, one per tick, at least 6500 ms apart, only while the player plays.
#include "fear/progress_notices.h"
#include "fear/world_tick.h"
#include "fear_world.h"
#include "host/handler_entries.h"

namespace {

struct Shown {
    uint32_t gang, count, kind;
    bool operator==(const Shown& o) const { return gang == o.gang && count == o.count && kind == o.kind; }
};
std::ostream& operator<<(std::ostream& out, const Shown& s) {
    return out << "{gang " << s.gang << ", count " << s.count << ", kind " << s.kind << "}";
}

class ProgressNotices : public FearWorld {
protected:
    // One notice step at `now`; what it showed, if anything.
    bool Step(uint32_t now, Shown* shown = nullptr) {
        const NoticeSlot line = lineSlot;
        RunNoticeStep(now);
        if (lineSlot.startTime == line.startTime && lineSlot.duration == line.duration && lineSlot.kind == line.kind &&
            lineSlot.count == line.count && lineSlot.gang == line.gang) {
            return false;
        }
        const bool banner = bannerSlot.startTime == now && bannerSlot.duration != 0 && lineSlot.kind == 3;
        if (shown) *shown = {lineSlot.gang, lineSlot.count, banner ? 4u : lineSlot.kind};
        return true;
    }

    // Steps every 6500 ms until nothing more is shown.
    std::vector<Shown> Drain(uint32_t& now) {
        std::vector<Shown> all;
        Shown shown;
        while (Step(now, &shown)) {
            all.push_back(shown);
            now += 6500;
        }
        return all;
    }

    static uint32_t& Kills(int gang) { return fearState.gangs[gang].kills; }
};

TEST_F(ProgressNotices, KillsRisingOneByOneGiveTheWholeSeries) {
    std::vector<Shown> all;
    uint32_t now = 1000;
    for (uint32_t kills = 1; kills <= 400; ++kills) {
        Kills(1) = kills;
        Shown shown;
        if (Step(now, &shown)) all.push_back(shown);
        now += 6500;
    }
    const std::vector<Shown> expected = {{1, 25, 0},  {1, 50, 0},  {1, 75, 0},  {1, 100, 1}, {1, 125, 0},
                                         {1, 150, 0}, {1, 175, 0}, {1, 200, 2}, {1, 225, 0}, {1, 250, 0},
                                         {1, 275, 0}, {1, 300, 4}};
    EXPECT_EQ(expected, all);
    EXPECT_EQ(300u, fearState.gangs[1].milestone);
    EXPECT_EQ(100u, fearState.gangs[1].announced[0]);
    EXPECT_EQ(200u, fearState.gangs[1].announced[1]);
    EXPECT_EQ(300u, fearState.gangs[1].announced[2]);
}

TEST_F(ProgressNotices, BurstOfKillsIsToldOneNoticeAfterAnother) {
    Kills(0) = 80;
    std::vector<uint32_t> times;
    for (uint32_t now = 1000; now <= 30000; now += 1000) {
        if (Step(now)) times.push_back(now);
    }
    EXPECT_EQ((std::vector<uint32_t>{1000, 8000, 15000}), times);
    EXPECT_EQ(75u, lineSlot.count);
    EXPECT_EQ(75u, fearState.gangs[0].milestone);
    EXPECT_TRUE(fearState.noticeShown);
    EXPECT_EQ(15000u, fearState.lastNoticeTime);
}

TEST_F(ProgressNotices, ChangedThresholdsAreAnnouncedAgainWithoutMilestones) {
    Kills(2) = 300;
    uint32_t now = 1000;
    Drain(now);
    settings.stageKills[0] = 40;
    settings.stageKills[1] = 55;
    settings.stageKills[2] = 70;
    EXPECT_EQ((std::vector<Shown>{{2, 40, 1}, {2, 55, 2}, {2, 70, 4}}), Drain(now));
}

TEST_F(ProgressNotices, StageNoticesOfEveryGangComeBeforeMilestones) {
    Kills(0) = 30;
    Kills(1) = 100;
    Kills(2) = 25;
    Kills(3) = 210;
    uint32_t now = 1000;
    EXPECT_EQ((std::vector<Shown>{{1, 100, 1}, {3, 100, 1}, {3, 200, 2}, {0, 25, 0}, {2, 25, 0}}), Drain(now));
}

TEST_F(ProgressNotices, StageThresholdOffTheGridRaisesTheMilestone) {
    settings.stageKills[0] = 110;
    Kills(1) = 130;
    fearState.gangs[1].milestone = 75;
    uint32_t now = 1000;
    EXPECT_EQ((std::vector<Shown>{{1, 110, 1}, {1, 125, 0}}), Drain(now));
}

TEST_F(ProgressNotices, MilestoneOnAStageCountIsSkippedSilently) {
    settings.stageKills[0] = 50;  // Stage1Kills itself would be a milestone
    Kills(1) = 50;
    fearState.gangs[1].announced[0] = 50;
    fearState.gangs[1].milestone = 25;
    uint32_t now = 1000;
    EXPECT_TRUE(Drain(now).empty());
    EXPECT_EQ(50u, fearState.gangs[1].milestone);
}

TEST_F(ProgressNotices, NoNoticesForPeacefulGangsOrWhenSwitchedOff) {
    Kills(1) = 150;
    sim::SetPedTypeHostile(kLeone, false);
    EXPECT_FALSE(Step(1000));
    sim::SetPedTypeHostile(kLeone, true);
    settings.EnableNotifications = false;
    EXPECT_FALSE(Step(2000));
    settings.EnableNotifications = true;
    settings.Enabled = false;
    EXPECT_FALSE(Step(3000));
    settings.Enabled = true;
    settings.PreserveMissions = false;  // notices wait for missions regardless
    sim::SetMission(true);
    EXPECT_FALSE(Step(4000));
    sim::SetMission(false);
    EXPECT_TRUE(Step(5000));
}

TEST_F(ProgressNotices, CooldownSurvivesTheClockWrapping) {
    Kills(1) = 60;
    EXPECT_TRUE(Step(0xFFFFF000));
    EXPECT_FALSE(Step(0xFFFFF000 + 6499));
    EXPECT_TRUE(Step(0xFFFFF000 + 6500));  // wraps to 0x00000964
}

TEST_F(ProgressNotices, TickShowsNoticesOnlyWhilePlayerIsInPlay) {
    Kills(1) = 25;
    sim::SetPlayerInPlay(false);
    sim::SetClock(1000);
    FearTick();
    EXPECT_EQ(0u, lineSlot.duration);
    sim::SetPlayerInPlay(true);
    sim::SetClock(2000);
    FearTick();
    EXPECT_EQ(2000u, lineSlot.startTime);
    EXPECT_EQ(25u, lineSlot.count);
    EXPECT_EQ(5000u, lineSlot.duration);
}

}  // namespace
