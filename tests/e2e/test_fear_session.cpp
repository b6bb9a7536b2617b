// A war on the Leone family played against the shipped plugin: kills credited
// through the hooked routine, the world tick breaking the gang, members near
// the player fleeing, a wounded one fighting back, and a mission handing
// everyone back to the host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim.h"
#include "support/plugin_session.h"
#include "world.h"
#include "world_peds.h"

namespace {

constexpr int32_t kLeone = 7;
using Lines = std::vector<std::string>;
const std::string kReady = "Quellbrand 0.4.4 READY: GTA III 1.0 x86, eight hooks.";

void ExpectHostDiscipline(const sim::CallResult& call) { EXPECT_TRUE(call.registersKept && call.stackBalanced); }

// One run of the host's world update, a second of game time after the last:
// the fright tests and orders it made.
Lines Tick() {
    sim::AdvanceClock(1000);
    sim::trace.clear();
    const int runs = sim::routines.runs[0];
    ExpectHostDiscipline(sim::CallHost(sim::addr::SiteWorldUpdate, {}, false, 0x0BADF00D, 0x0DDBA11));
    EXPECT_TRUE(sim::routines.innerEcx == 0x0BADF00Du && sim::routines.innerEdx == 0x0DDBA11u);
    EXPECT_EQ(runs + 1, sim::routines.runs[0]);
    Lines acts;
    for (const std::string& line : sim::trace) {
        if (line.rfind("order", 0) == 0 || line.rfind("fright", 0) == 0) acts.push_back(line);
    }
    return acts;
}

Lines StandDown(int slot) {
    const std::string ped = "order ped=" + std::to_string(slot);
    return {ped + " clear 0", ped + " clear 0", ped + " walk " + std::to_string((sim::Clock() >> 4) & 7)};
}
uint32_t ThreatBit(int slot) { return sim::Field<uint32_t>(sim::PedAt(slot), sim::ped::Threat) & 1; }
uint32_t EngageBit(int slot) { return (sim::Field<uint8_t>(sim::PedAt(slot), sim::ped::Engage) >> 1) & 1; }

TEST(FearSession, LeoneWarFromFirstKillToMission) {
    sim::ResetWorld(64);
    PluginSession session(L"fear-session");
    session.WriteSettings("KillsRequired=3\r\nTickMs=50\r\n");
    ASSERT_TRUE(session.Load());
    ASSERT_EQ(8, PatchedSiteCount());

    // Three Leone members die at the player's hand; the first is credited twice.
    const int creditRuns = sim::routines.runs[1];
    for (int slot : {10, 11, 12}) sim::KillPed(sim::SpawnPed(slot, kLeone, 30.0f, 0.0f, 0.0f));
    for (int slot : {10, 11, 12, 10}) ExpectHostDiscipline(sim::CreditKill(sim::PedAt(slot)));
    EXPECT_EQ(creditRuns + 4, sim::routines.runs[1]);
    EXPECT_TRUE(Tick().empty());

    // The gang is broken: a member close by flees, one further off that was
    // attacking the player is stood down, a Triad is left alone.
    sim::SpawnPed(5, kLeone, 10.0f, 0.0f, 0.0f);
    uint8_t* attacker = sim::SpawnPed(6, kLeone, 35.0f, 0.0f, 0.0f);
    sim::Field<int32_t>(attacker, sim::ped::Order) = 8;
    sim::Field<uint8_t*>(attacker, sim::ped::OrderTarget) = sim::Player();
    sim::SpawnPed(7, 8, 10.0f, 0.0f, 0.0f);
    Lines acts = Tick();
    Lines expected = {"fright ped=5 -> 1", "order ped=5 clear 0", "order ped=5 give 9 target=player"};
    for (const std::string& line : StandDown(6)) expected.push_back(line);
    EXPECT_EQ(expected, acts);
    EXPECT_EQ((std::vector<uint32_t>{0, 0, 1}), (std::vector<uint32_t>{ThreatBit(5), ThreatBit(6), ThreatBit(7)}));

    // The player shoots the one further off: it fights back while the window lasts.
    ExpectHostDiscipline(sim::DamagePed(attacker, sim::Player(), 25.0f));
    EXPECT_EQ((Lines{"order ped=6 clear 0", "order ped=6 give 8 target=player"}), Tick());
    EXPECT_EQ(1u, ThreatBit(6) & EngageBit(6));
    EXPECT_TRUE(Tick().empty());
    sim::AdvanceClock(5000);  // the next tick comes exactly eight seconds after the hit
    acts = Tick();
    EXPECT_EQ(StandDown(6), acts);
    EXPECT_EQ(0u, ThreatBit(6));

    // A mission starts: everyone is handed back with the bits they had.
    sim::SetMission(true);
    acts = Tick();
    EXPECT_EQ(StandDown(5), acts);
    for (int slot : {5, 6}) EXPECT_EQ(1u, ThreatBit(slot) & EngageBit(slot)) << slot;

    session.Unload();
    EXPECT_TRUE(sim::SitesPristine());
    EXPECT_EQ((Lines{kReady, "KILL Triads=0 Leone=1 Cartel=0 Yardies=0", "KILL Triads=0 Leone=2 Cartel=0 Yardies=0",
                     "KILL Triads=0 Leone=3 Cartel=0 Yardies=0", "WORLD READY: player and pedestrian pool resolved.",
                     "HOSTILE Triads=1 Leone=1 Cartel=1 Yardies=1", "STATUS kills=0,3,0,0 managed=2 zones=0 scaled=0"}),
              session.LogLines());
}

TEST(FearSession, SwitchedOffPluginCountsNothingAndTakesNoOneOver) {
    sim::ResetWorld(64);
    PluginSession session(L"fear-off");
    session.WriteSettings("Enabled=0\r\nKillsRequired=3\r\n");
    ASSERT_TRUE(session.Load());
    const int creditRuns = sim::routines.runs[1];
    for (int slot : {10, 11, 12}) ExpectHostDiscipline(sim::CreditKill(sim::SpawnPed(slot, kLeone, 30, 0, 0)));
    EXPECT_EQ(creditRuns + 3, sim::routines.runs[1]);
    uint8_t* member = sim::SpawnPed(5, kLeone, 10.0f, 0.0f, 0.0f);
    ExpectHostDiscipline(sim::DamagePed(member, sim::Player(), 10.0f));
    EXPECT_TRUE(Tick().empty());
    EXPECT_TRUE(Tick().empty());
    EXPECT_EQ(1u, ThreatBit(5));
    EXPECT_EQ(90.0f, sim::Field<float>(member, sim::ped::Health));
    session.Unload();
    EXPECT_EQ((Lines{kReady, "WORLD READY: player and pedestrian pool resolved.",
                     "HOSTILE Triads=1 Leone=1 Cartel=1 Yardies=1"}),
              session.LogLines());
}

}  // namespace
