// A new game (the host's re-initialisation) clears what belonged to the last one.
#include <gtest/gtest.h>

#include "overlay/notice_queue.h"
#include "save_test_session.h"

namespace {

constexpr uint32_t kVariableClearedByTheHost = 0x8E2C50;

class GameReset : public SaveSession {
protected:
    void PlayForAWhile() {
        for (int g = 0; g < kGangCount; ++g) SetGang(g, 310 + g, 300, 100, 200, 300);
        for (PedTrack& track : fearState.peds) {
            track.stamp = 3;
            track.mode = Flee;
            track.damageTime = 77;
        }
        fearState.noticeShown = true;
        fearState.tickStarted = true;
        fearState.zones = 900;
        fearState.scaled = 800;
        fearState.lastStatusTime = 60000;
        fearState.lastHostileMask = 0xF;
        fearState.worldReady = true;
        fearState.lastTickTime = 1111;
        fearState.lastReloadTime = 2222;
        fearState.lastNoticeTime = 3333;
        NoticeOverlay::Show(2, 300, NoticeOverlay::BroughtToKnees, 3333);
        NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, 3333);
    }
};

}  // namespace

TEST_F(GameReset, NewGameClearsCountersMarksRecordsAndNotices) {
    PlayForAWhile();
    settings.stageKills[2] = 444;
    sim::Mem<uint32_t>(kVariableClearedByTheHost) = 0x1234;

    const sim::CallResult call = sim::StartNewGame();
    EXPECT_TRUE(call.registersKept);
    EXPECT_TRUE(call.stackBalanced);
    EXPECT_EQ(sim::routines.runs[4], 1);
    EXPECT_EQ(sim::Mem<uint32_t>(kVariableClearedByTheHost), 0u);

    EXPECT_EQ(GangValues(), std::vector<uint32_t>(20, 0));
    for (int slot = 0; slot < host::kPedPoolCapacity; ++slot) {
        const PedTrack& track = fearState.peds[slot];
        ASSERT_TRUE(track.stamp == 0 && track.mode == None && track.damageTime == 0) << slot;
    }
    EXPECT_FALSE(fearState.noticeShown);
    EXPECT_FALSE(fearState.tickStarted);
    EXPECT_EQ(fearState.zones, 0u);
    EXPECT_EQ(fearState.scaled, 0u);
    EXPECT_EQ(fearState.lastStatusTime, 0u);
    EXPECT_EQ(fearState.lastHostileMask, 0xFFFFFFFFu);
    EXPECT_EQ(bannerSlot.duration, 0u);
    EXPECT_EQ(lineSlot.duration, 0u);

    // What belongs to the process, not to the game, stays.
    EXPECT_TRUE(fearState.active);
    EXPECT_TRUE(fearState.worldReady);
    EXPECT_EQ(fearState.lastTickTime, 1111u);
    EXPECT_EQ(fearState.lastReloadTime, 2222u);
    EXPECT_EQ(fearState.lastNoticeTime, 3333u);
    const int32_t pedTypes[] = {8, 7, 12, 11};
    const int32_t offsets[] = {40, 38, 48, 46};
    for (int g = 0; g < kGangCount; ++g) {
        EXPECT_EQ(fearState.gangs[g].pedType, pedTypes[g]);
        EXPECT_EQ(fearState.gangs[g].densityOffset, offsets[g]);
    }
    EXPECT_EQ(KillsRequired(), 444u);
    EXPECT_TRUE(Log().empty());
}

TEST_F(GameReset, NewGameResetsEvenWhileSwitchedOffOrInactive) {
    PlayForAWhile();
    settings.Enabled = false;
    sim::StartNewGame();
    EXPECT_EQ(fearState.gangs[3].kills, 0u);

    PlayForAWhile();
    fearState.active = false;
    sim::StartNewGame();
    EXPECT_EQ(fearState.gangs[3].kills, 0u);
    EXPECT_EQ(fearState.zones, 0u);
    EXPECT_EQ(sim::routines.runs[4], 2);
}
