// Progress notices: stage notices at the thresholds, milestones every 25
// kills, one per tick, at least 6500 ms apart, only while the player plays.
#include "fear/progress_notices.h"
#include "fear_world.h"

namespace {

class ProgressNotices : public FearWorld {
protected:
    // One notice step at `now`; adds what it showed as "gang:count:kind" (a
    // broken gang's banner as kind 4).
    static bool Step(uint32_t now, Lines* shown = nullptr) {
        lineSlot = NoticeSlot{};
        RunNoticeStep(now);
        if (lineSlot.duration == 0) return false;
        const uint32_t kind = lineSlot.kind == 3 ? 4 : lineSlot.kind;
        const std::string text = std::to_string(lineSlot.gang) + ":" + std::to_string(lineSlot.count);
        if (shown) shown->push_back(text + ":" + std::to_string(kind));
        return true;
    }
    // Steps every 6500 ms until nothing more is shown.
    static Lines Drain(uint32_t& now) {
        Lines all;
        for (; Step(now, &all); now += 6500) {}
        return all;
    }
};

TEST_F(ProgressNotices, KillsRisingOneByOneGiveTheWholeSeries) {
    Lines all;
    for (uint32_t kills = 1, now = 1000; kills <= 400; ++kills, now += 6500) {
        fearState.gangs[1].kills = kills;
        Step(now, &all);
    }
    EXPECT_EQ((Lines{"1:25:0", "1:50:0", "1:75:0", "1:100:1", "1:125:0", "1:150:0", "1:175:0", "1:200:2", "1:225:0",
                     "1:250:0", "1:275:0", "1:300:4"}),
              all);
    const GangRecord& g = fearState.gangs[1];
    EXPECT_TRUE(g.milestone == 300 && g.announced[0] == 100 && g.announced[1] == 200 && g.announced[2] == 300);
}

TEST_F(ProgressNotices, BurstOfKillsIsToldOneNoticeAfterAnother) {
    SetKills({80});
    Lines all, times;
    for (uint32_t now = 1000; now <= 30000; now += 1000) {
        if (Step(now, &all)) times.push_back(std::to_string(now));
    }
    EXPECT_EQ((Lines{"1000", "8000", "15000"}), times);
    EXPECT_EQ((Lines{"0:25:0", "0:50:0", "0:75:0"}), all);
    EXPECT_TRUE(fearState.noticeShown && fearState.lastNoticeTime == 15000);
    fearState.gangs[0].kills = 100;
    fearState.lastNoticeTime = 0xFFFFF000;  // the cool-down survives the clock wrapping
    EXPECT_FALSE(Step(0xFFFFF000 + 6499));
    EXPECT_TRUE(Step(0xFFFFF000 + 6500));
    fearState.gangs[0].milestone = 0xFFFFFFF0;  // a milestone past the kills tells nothing, never wraps
    EXPECT_FALSE(Step(40000));
    EXPECT_EQ(0xFFFFFFF0u, fearState.gangs[0].milestone);
}

TEST_F(ProgressNotices, ChangedThresholdsAreAnnouncedAgainWithoutMilestones) {
    SetKills({0, 0, 300});
    uint32_t now = 1000;
    Drain(now);
    settings.stageKills[0] = 40;
    settings.stageKills[1] = 55;
    settings.stageKills[2] = 70;
    EXPECT_EQ((Lines{"2:40:1", "2:55:2", "2:70:4"}), Drain(now));
}

TEST_F(ProgressNotices, StageNoticesOfEveryGangComeBeforeMilestones) {
    SetKills({30, 100, 25, 210});
    Lines all;
    EXPECT_TRUE(Step(1000, &all));
    EXPECT_FALSE(Step(7499));  // a stage notice starts the cool-down too
    uint32_t now = 7500;
    for (const std::string& shown : Drain(now)) all.push_back(shown);
    EXPECT_EQ((Lines{"1:100:1", "3:100:1", "3:200:2", "0:25:0", "2:25:0"}), all);
}

TEST_F(ProgressNotices, MilestonesFollowStageThresholdsOffAndOnTheGrid) {
    settings.stageKills[0] = 110;  // the stage notice raises the milestone to 100
    SetKills({0, 130});
    fearState.gangs[1].milestone = 75;
    uint32_t now = 1000;
    EXPECT_EQ((Lines{"1:110:1", "1:125:0"}), Drain(now));

    settings.stageKills[0] = 50;  // a milestone on a stage count is skipped silently
    fearState.gangs[1] = {7, 38, 50, {50, 0, 0}, 25};
    EXPECT_TRUE(Drain(now).empty());
    EXPECT_EQ(50u, fearState.gangs[1].milestone);
    settings.stageKills[1] = 75;  // the second stage's count too
    fearState.gangs[1] = {7, 38, 75, {50, 75, 0}, 50};
    EXPECT_TRUE(Drain(now).empty());
    EXPECT_EQ(75u, fearState.gangs[1].milestone);
    // A broken gang gets its banner, never the milestone of KillsRequired.
    fearState.gangs[1] = {7, 38, 300, {50, 75, 300}, 275};
    EXPECT_TRUE(Drain(now).empty());
    EXPECT_EQ(275u, fearState.gangs[1].milestone);
}

TEST_F(ProgressNotices, NoNoticesForPeacefulGangsOrWhenSwitchedOffOrDuringMissions) {
    SetKills({0, 150});
    settings.PreserveMissions = false;  // notices wait for missions regardless
    const struct { const char* name; void (*spoil)(bool on); } cases[] = {
        {"peaceful", [](bool on) { sim::SetPedTypeHostile(kLeone, !on); }},
        {"notifications off", [](bool on) { settings.EnableNotifications = !on; }},
        {"disabled", [](bool on) { settings.Enabled = !on; }},
        {"mission", [](bool on) { sim::SetMission(on); }},
        {"unusable mission flag", [](bool on) { sim::SetMissionFlagOffset(on ? 6 : sim::kMissionFlagOffsetDefault); }},
    };
    uint32_t now = 1000;
    for (const auto& c : cases) {
        c.spoil(true);
        EXPECT_FALSE(Step(now += 1000)) << c.name;
        c.spoil(false);
    }
    EXPECT_TRUE(Step(now += 1000));
}

TEST_F(ProgressNotices, TickShowsNoticesOnlyWhilePlayerIsInPlay) {
    SetKills({0, 25});
    sim::SetPlayerInPlay(false);
    sim::SetClock(1000);
    FearTick();
    EXPECT_EQ(0u, lineSlot.duration);
    sim::SetPlayerInPlay(true);
    sim::SetClock(2000);
    FearTick();
    const NoticeSlot& s = lineSlot;
    EXPECT_TRUE(s.gang == 1 && s.count == 25 && s.kind == 0 && s.startTime == 2000 && s.duration == 5000);
}

}  // namespace
