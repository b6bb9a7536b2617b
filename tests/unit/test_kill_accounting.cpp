// Deaths credited to the player become the gangs' kill counts: once per
// pedestrian, only for hostile tracked gangs.
#include "fear_world.h"
#include "host/handler_entries.h"

namespace {

class KillAccounting : public FearWorld {
protected:
    host::HostPed* Leone(int slot) { return Ped(sim::SpawnPed(slot, kLeone, 5.0f, 0.0f, 0.0f)); }
    static uint32_t Kills(int gang) { return fearState.gangs[gang].kills; }
};

TEST_F(KillAccounting, OneDeathCountsOnceAndLogsOneLine) {
    host::HostPed* victim = Leone(3);
    CountKill(victim);
    CountKill(victim);
    EXPECT_EQ(1u, Kills(1));
    EXPECT_TRUE(Track(3).killCounted);
    EXPECT_EQ(std::vector<std::string>{"KILL Triads=0 Leone=1 Cartel=0 Yardies=0"}, Log());

    // Every gang by its own ped type.
    CountKill(Ped(sim::SpawnPed(4, 8, 0, 0, 0)));
    CountKill(Ped(sim::SpawnPed(5, 12, 0, 0, 0)));
    CountKill(Ped(sim::SpawnPed(6, 11, 0, 0, 0)));
    EXPECT_EQ("KILL Triads=1 Leone=1 Cartel=1 Yardies=1", Log().back());
}

TEST_F(KillAccounting, GangThatIsNotHostileCountsLater) {
    host::HostPed* victim = Leone(3);
    sim::SetPedTypeHostile(kLeone, false);
    CountKill(victim);
    sim::SetPedTypeMissing(kLeone);
    CountKill(victim);
    EXPECT_EQ(0u, Kills(1));
    EXPECT_FALSE(Track(3).killCounted);
    EXPECT_TRUE(Log().empty());

    sim::SetPedTypeHostile(kLeone, true);
    CountKill(victim);
    EXPECT_EQ(1u, Kills(1));
}

TEST_F(KillAccounting, OtherPedTypesOnlyRefreshTheirRecord) {
    Track(3) = PedTrack{99, true, true, 5, Flee, 1, 1, 0, 0, 9};
    CountKill(Ped(sim::SpawnPed(3, 4, 0, 0, 0)));
    for (int g = 0; g < 4; ++g) EXPECT_EQ(0u, Kills(g));
    EXPECT_EQ(sim::SlotStatus(3) + 1u, Track(3).stamp);
    EXPECT_FALSE(Track(3).killCounted);
    EXPECT_EQ(None, Track(3).mode);
    EXPECT_TRUE(Log().empty());
}

TEST_F(KillAccounting, PointersOutsideTheLivingPoolChangeNothing) {
    host::HostPed* victim = Leone(3);
    Leone(63);
    CountKill(reinterpret_cast<host::HostPed*>(sim::PedAt(3) + 4));  // not on an object boundary
    CountKill(reinterpret_cast<host::HostPed*>(sim::PedAt(0) - 1520));
    sim::SetPoolSlotCount(63);
    CountKill(Ped(sim::PedAt(63)));  // beyond the slot count
    sim::SetPoolSlotCount(0);
    CountKill(victim);
    sim::SetPoolSlotCount(513);
    CountKill(victim);
    sim::SetPoolSlotCount(64);
    sim::SetPoolPointerNull(true);
    CountKill(victim);
    sim::SetPoolPointerNull(false);
    sim::FreeSlot(3);
    CountKill(victim);
    EXPECT_EQ(0u, Kills(1));
    EXPECT_EQ(0u, Track(3).stamp);
    EXPECT_FALSE(Track(3).killCounted);
    EXPECT_EQ(0u, Track(63).stamp);
    EXPECT_TRUE(Log().empty());
}

TEST_F(KillAccounting, CountStopsAtItsCeilingButTheDeathIsMarked) {
    fearState.gangs[1].kills = 0x7FFFFFFD;
    CountKill(Leone(3));
    EXPECT_EQ(0x7FFFFFFEu, Kills(1));
    CountKill(Leone(4));
    EXPECT_EQ(0x7FFFFFFEu, Kills(1));
    EXPECT_TRUE(Track(4).killCounted);
    EXPECT_EQ("KILL Triads=0 Leone=2147483646 Cartel=0 Yardies=0", Log().back());
}

TEST_F(KillAccounting, SwitchesSilenceOrStopTheCount) {
    settings.DiagnosticLog = false;
    CountKill(Leone(3));
    EXPECT_EQ(1u, Kills(1));
    EXPECT_TRUE(Log().empty());

    settings.DiagnosticLog = true;
    settings.Enabled = false;
    CountKill(Leone(4));
    settings.Enabled = true;
    fearState.active = false;
    CountKill(Leone(5));
    EXPECT_EQ(1u, Kills(1));
    EXPECT_FALSE(Track(4).killCounted);
    EXPECT_EQ(0u, Track(5).stamp);
}

TEST_F(KillAccounting, NewOccupantOfTheSlotCountsAgain) {
    CountKill(Leone(3));
    CountKill(Leone(3));  // the slot was reused for another member
    EXPECT_EQ(2u, Kills(1));
}

TEST_F(KillAccounting, HookedCreditCountsAndTheHostRoutineRunsUnchanged) {
    InstallPluginHooks();
    uint8_t* victim = sim::SpawnPed(3, kLeone, 0, 0, 0);
    const int hostRuns = sim::routines.runs[1];
    const sim::CallResult call = sim::CreditKill(victim);
    EXPECT_TRUE(call.registersKept);
    EXPECT_TRUE(call.stackBalanced);
    EXPECT_EQ(hostRuns + 1, sim::routines.runs[1]);
    EXPECT_EQ(std::vector<std::string>{"credit ped=3"}, TraceOf("credit"));
    EXPECT_EQ(1u, Kills(1));

    settings.Enabled = false;
    sim::CreditKill(sim::SpawnPed(4, kLeone, 0, 0, 0));
    EXPECT_EQ(hostRuns + 2, sim::routines.runs[1]);
    EXPECT_EQ(1u, Kills(1));
}

}  // namespace
