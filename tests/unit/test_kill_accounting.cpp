// Deaths credited to the player become the gangs' kill counts: once per
// pedestrian, only for hostile tracked gangs.
#include "fear_world.h"

namespace {

class KillAccounting : public FearWorld {
protected:
    static host::HostPed* Spawn(int slot, int32_t pedType = kLeone) { return Ped(sim::SpawnPed(slot, pedType, 5, 0, 0)); }
    static uint32_t Kills(int gang) { return fearState.gangs[gang].kills; }
};

TEST_F(KillAccounting, OneDeathCountsOnceAndLogsOneLine) {
    host::HostPed* victim = Spawn(3);
    CountKill(victim);
    CountKill(victim);
    EXPECT_EQ(1u, Kills(1));
    EXPECT_TRUE(Track(3).killCounted);
    EXPECT_EQ(Lines{"KILL Triads=0 Leone=1 Cartel=0 Yardies=0"}, Log());
    CountKill(Spawn(3));  // a new occupant of the slot
    for (int32_t type : {8, 12, 11}) CountKill(Spawn(4 + type, type));
    EXPECT_EQ("KILL Triads=1 Leone=2 Cartel=1 Yardies=1", Log().back());
    EXPECT_EQ(5u, Log().size());
}

TEST_F(KillAccounting, OnlyHostileGangMembersCountAndOthersOnlyRefreshTheirRecord) {
    host::HostPed* victim = Spawn(3);
    sim::SetPedTypeHostile(kLeone, false);
    CountKill(victim);
    sim::SetPedTypeMissing(kLeone);
    CountKill(victim);
    EXPECT_FALSE(Kills(1) || Track(3).killCounted);
    sim::SetPedTypeHostile(kLeone, true);
    CountKill(victim);  // counted once the gang turned hostile
    EXPECT_EQ(1u, Kills(1));

    Track(4) = PedTrack{99, true, true, 5, Flee, 1, 1, 0, 0, 9};
    CountKill(Spawn(4, 4));
    EXPECT_EQ(1u, Kills(0) + Kills(1) + Kills(2) + Kills(3));
    EXPECT_EQ(sim::SlotStatus(4) + 1u, Track(4).stamp);
    EXPECT_TRUE(!Track(4).killCounted && !Track(4).playerDamaged && Track(4).mode == None);
    EXPECT_EQ(1u, Log().size());
}

TEST_F(KillAccounting, PointersOutsideTheLivingPoolOrASwitchedOffPluginChangeNothing) {
    host::HostPed* victim = Spawn(3);
    Spawn(63);
    const struct { const char* name; host::HostPed* ped; int32_t slotCount; } cases[] = {
        {"off the object boundary", Ped(sim::PedAt(3) + 4), 64}, {"below the array", Ped(sim::PedAt(0) - 1520), 64},
        {"beyond the slot count", Ped(sim::PedAt(63)), 63},      {"0 slots", victim, 0},
        {"513 slots", victim, 513},
    };
    for (const auto& c : cases) {
        sim::SetPoolSlotCount(c.slotCount);
        CountKill(c.ped);
        EXPECT_EQ(0u, Kills(1)) << c.name;
    }
    sim::SetPoolSlotCount(64);
    for (bool* off : {&settings.Enabled, &fearState.active}) {
        *off = false;
        CountKill(victim);
        *off = true;
    }
    sim::SetPoolPointerNull(true);
    CountKill(victim);
    sim::SetPoolPointerNull(false);
    sim::FreeSlot(3);
    CountKill(victim);
    EXPECT_TRUE(Kills(1) == 0 && Track(3).stamp == 0 && Track(63).stamp == 0);
    EXPECT_TRUE(Log().empty());
}

TEST_F(KillAccounting, CountStopsAtItsCeilingButTheDeathIsMarked) {
    fearState.gangs[1].kills = 0x7FFFFFFD;
    CountKill(Spawn(3));
    EXPECT_EQ(0x7FFFFFFEu, Kills(1));
    CountKill(Spawn(4));
    EXPECT_EQ(0x7FFFFFFEu, Kills(1));
    EXPECT_TRUE(Track(4).killCounted);
    EXPECT_EQ("KILL Triads=0 Leone=2147483646 Cartel=0 Yardies=0", Log().back());
    settings.DiagnosticLog = false;  // without the diagnostic log the count is silent
    fearState.gangs[1].kills = 0;
    CountKill(Spawn(5));
    EXPECT_EQ(1u, Kills(1));
    EXPECT_EQ(2u, Log().size());
}

}  // namespace
