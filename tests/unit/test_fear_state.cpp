// The shared state's rules against the simulated pool and ped-type table.
#include <gtest/gtest.h>

#include "fear/fear_state.h"
#include "overlay/notice_queue.h"
#include "settings/settings.h"
#include "sim.h"
#include "world.h"

namespace {

using host::HostPed;

class FearStateRules : public testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld(64);
        InitFearState();
        settings = Settings{};
        settings.stageKills[0] = 100;
        settings.stageKills[1] = 200;
        settings.stageKills[2] = 300;
    }
    static HostPed* Ped(uint8_t* object) { return reinterpret_cast<HostPed*>(object); }
};

TEST_F(FearStateRules, StartsWithTheGangConstants) {
    const int32_t types[] = {8, 7, 12, 11};
    const int32_t offsets[] = {40, 38, 48, 46};
    for (int g = 0; g < kGangCount; ++g) {
        EXPECT_EQ(types[g], fearState.gangs[g].pedType);
        EXPECT_EQ(offsets[g], fearState.gangs[g].densityOffset);
        EXPECT_EQ(0u, fearState.gangs[g].kills);
    }
    EXPECT_EQ(0xFFFFFFFFu, fearState.lastHostileMask);
    EXPECT_FALSE(fearState.active);
}

TEST_F(FearStateRules, SlotOfAPedestrianFollowsThePool) {
    uint8_t* ped = sim::SpawnPed(5, 7, 1, 2, 3);
    EXPECT_EQ(5, FindPedSlot(Ped(ped)));
    EXPECT_EQ(0, FindPedSlot(Ped(sim::PedAt(0))));
    EXPECT_NE(nullptr, RefreshedTrackOf(Ped(sim::SpawnPed(0, 7, 1, 2, 3))));
    EXPECT_EQ(63, FindPedSlot(Ped(sim::PedAt(63))));
    EXPECT_EQ(-1, FindPedSlot(Ped(sim::PedAt(64))));      // beyond the slot count
    EXPECT_EQ(-1, FindPedSlot(Ped(ped + 4)));              // not on an object boundary
    EXPECT_EQ(-1, FindPedSlot(Ped(sim::PedAt(0) - 1520)));  // below the array
    EXPECT_EQ(-1, FindPedSlot(nullptr));

    sim::SetPoolSlotCount(0);
    EXPECT_EQ(-1, FindPedSlot(Ped(ped)));
    sim::SetPoolSlotCount(-1);
    EXPECT_EQ(-1, FindPedSlot(Ped(ped)));
    sim::SetPoolSlotCount(1);
    EXPECT_EQ(0, FindPedSlot(Ped(sim::PedAt(0))));
    sim::SetPoolSlotCount(513);
    EXPECT_EQ(-1, FindPedSlot(Ped(ped)));
    sim::SetPoolSlotCount(512);
    EXPECT_EQ(511, FindPedSlot(Ped(sim::PedAt(511))));
    sim::SetPoolPointerNull(true);
    EXPECT_EQ(-1, FindPedSlot(Ped(ped)));
}

TEST_F(FearStateRules, RefreshWipesTheRecordOfANewOccupant) {
    sim::SpawnPed(5, 7, 0, 0, 0);
    PedTrack& track = RefreshPedTrack(5, sim::SlotStatus(5));
    track.killCounted = true;
    track.playerDamaged = true;
    track.damageTime = 1234;
    track.mode = Flee;
    EXPECT_EQ(static_cast<uint32_t>(sim::SlotStatus(5)) + 1, track.stamp);

    RefreshPedTrack(5, sim::SlotStatus(5));  // same occupant: untouched
    EXPECT_TRUE(track.killCounted);
    EXPECT_EQ(Flee, track.mode);

    sim::SpawnPed(5, 7, 0, 0, 0);  // the slot is reused
    RefreshPedTrack(5, sim::SlotStatus(5));
    EXPECT_FALSE(track.killCounted);
    EXPECT_FALSE(track.playerDamaged);
    EXPECT_EQ(0u, track.damageTime);
    EXPECT_EQ(None, track.mode);
    EXPECT_EQ(static_cast<uint32_t>(sim::SlotStatus(5)) + 1, track.stamp);
}

TEST_F(FearStateRules, HostilityFollowsThePedTypeTable) {
    EXPECT_EQ(15u, HostilityMask());
    sim::SetPedTypeHostile(7, false);  // Leone
    EXPECT_EQ(13u, HostilityMask());
    sim::SetPedTypeMissing(11);  // Yardies
    EXPECT_EQ(5u, HostilityMask());
    sim::SetPedTypeHostile(8, false);  // Mafia
    EXPECT_EQ(4u, HostilityMask());
    EXPECT_EQ(1, GangOfPedType(7));
    EXPECT_EQ(3, GangOfPedType(11));
    EXPECT_EQ(-1, GangOfPedType(9));
}

TEST_F(FearStateRules, AGangBreaksAtKillsRequiredWhileHostile) {
    fearState.gangs[0].kills = 299;
    EXPECT_FALSE(IsGangBroken(0));
    fearState.gangs[0].kills = 300;
    EXPECT_TRUE(IsGangBroken(0));
    sim::SetPedTypeHostile(8, false);
    EXPECT_FALSE(IsGangBroken(0));
    sim::SetPedTypeHostile(8, true);
    settings.stageKills[0] = 310;  // a first stage above KillsRequired holds the break back
    EXPECT_FALSE(IsGangBroken(0));
    fearState.gangs[0].kills = 310;
    EXPECT_TRUE(IsGangBroken(0));
}

TEST_F(FearStateRules, ResetClearsCountersButKeepsConstantsAndClocks) {
    fearState.active = true;
    fearState.worldReady = true;
    fearState.lastTickTime = 77;
    fearState.lastReloadTime = 88;
    fearState.lastNoticeTime = 99;
    fearState.noticeShown = fearState.tickStarted = true;
    fearState.zones = fearState.scaled = fearState.lastStatusTime = 5;
    fearState.lastHostileMask = 3;
    fearState.gangs[2] = {12, 48, 250, {100, 200, 0}, 250};
    fearState.peds[7].stamp = 9;
    fearState.peds[7].mode = Calm;
    NoticeOverlay::Show(1, 25, NoticeOverlay::MembersKilled, 10);

    ResetCounters();

    EXPECT_EQ(12, fearState.gangs[2].pedType);
    EXPECT_EQ(48, fearState.gangs[2].densityOffset);
    EXPECT_EQ(0u, fearState.gangs[2].kills);
    EXPECT_EQ(0u, fearState.gangs[2].announced[0]);
    EXPECT_EQ(0u, fearState.gangs[2].milestone);
    EXPECT_EQ(0u, fearState.peds[7].stamp);
    EXPECT_EQ(None, fearState.peds[7].mode);
    EXPECT_FALSE(fearState.noticeShown || fearState.tickStarted);
    EXPECT_EQ(0u, fearState.zones + fearState.scaled + fearState.lastStatusTime);
    EXPECT_EQ(0xFFFFFFFFu, fearState.lastHostileMask);
    EXPECT_EQ(0u, lineSlot.duration);
    EXPECT_TRUE(fearState.active && fearState.worldReady);
    EXPECT_EQ(77u, fearState.lastTickTime);
    EXPECT_EQ(88u, fearState.lastReloadTime);
    EXPECT_EQ(99u, fearState.lastNoticeTime);
}

}  // namespace
