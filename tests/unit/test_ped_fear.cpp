// Members of a broken gang near the player: calmed, frightened off, allowed
// to hit back, and handed back to the host when they fall out of scope.
#include <cmath>
#include <limits>

#include "fear/ped_fear.h"
#include "fear/world_tick.h"
#include "fear_world.h"
#include "host/handler_entries.h"

namespace {

constexpr int kSlot = 5;

class PedFear : public FearWorld {
protected:
    void SetUp() override {
        FearWorld::SetUp();
        fearState.gangs[1].kills = 300;  // Leone broken at the default KillsRequired
    }

    // One world tick, a second of game time after the last.
    void Tick() {
        HoldSettings();
        sim::AdvanceClock(1000);
        sim::trace.clear();
        FearTick();
    }

    uint8_t* Member(float x, float y = 0.0f) { return sim::SpawnPed(kSlot, kLeone, x, y, 0.0f); }

    static std::string Walk() { return "order ped=5 walk " + std::to_string((sim::Clock() >> 4) & 7); }
    static std::vector<std::string> Orders() { return TraceOf("order ped=5"); }
    static uint32_t ThreatBit(uint8_t* p) { return sim::Field<uint32_t>(p, sim::ped::Threat) & 1; }
    static uint32_t EngageBit(uint8_t* p) { return (sim::Field<uint8_t>(p, sim::ped::Engage) >> 1) & 1; }
    static int32_t& Order(uint8_t* p) { return sim::Field<int32_t>(p, sim::ped::Order); }
    static uint8_t*& Target(uint8_t* p) { return sim::Field<uint8_t*>(p, sim::ped::OrderTarget); }
    static uint32_t& State(uint8_t* p) { return sim::Field<uint32_t>(p, sim::ped::State); }

    using Lines = std::vector<std::string>;
    const Lines standDown = {"order ped=5 clear 0", "order ped=5 clear 0"};
    const Lines flee = {"order ped=5 clear 0", "order ped=5 give 9 target=player"};
};

TEST_F(PedFear, MemberBeyondFearRadiusIsCalmedWithoutOrders) {
    uint8_t* p = Member(50.0f);
    sim::Field<uint32_t>(p, sim::ped::Threat) = 0x81;
    sim::Field<uint8_t>(p, sim::ped::Engage) = 0x0A;
    Tick();
    EXPECT_EQ(Calm, Track(kSlot).mode);
    EXPECT_EQ(0x80u, sim::Field<uint32_t>(p, sim::ped::Threat));  // other bits kept
    EXPECT_EQ(0x08, sim::Field<uint8_t>(p, sim::ped::Engage));
    EXPECT_EQ(1, Track(kSlot).savedThreatBit);
    EXPECT_EQ(1, Track(kSlot).savedEngageBit);
    EXPECT_TRUE(Orders().empty());
    EXPECT_EQ(0, sim::FrightTests());
    Tick();  // stays calm: nothing is done
    EXPECT_TRUE(Orders().empty());
}

TEST_F(PedFear, CalmMemberAttackingThePlayerIsStoodDown) {
    uint8_t* p = Member(50.0f);
    Order(p) = 8;
    Target(p) = sim::Player();
    Tick();
    Lines expected = standDown;
    expected.push_back(Walk());
    EXPECT_EQ(expected, Orders());
    EXPECT_EQ(Calm, Track(kSlot).mode);
    EXPECT_EQ(0, Track(kSlot).modeOrder);

    // Attacking someone else is left alone.
    uint8_t* q = sim::SpawnPed(6, kLeone, 60.0f, 0.0f, 0.0f);
    Order(q) = 7;
    Target(q) = sim::PedAt(9);
    Tick();
    EXPECT_TRUE(TraceOf("order ped=6").empty());
    EXPECT_EQ(Calm, Track(6).mode);
}

TEST_F(PedFear, MemberOnFootWithinFearRadiusFleesOnceTheHostAgrees) {
    uint8_t* p = Member(20.0f);  // exactly at FearRadius
    Tick();
    EXPECT_EQ(Lines{"fright ped=5 -> 1"}, TraceOf("fright"));
    EXPECT_EQ(flee, Orders());
    EXPECT_EQ(Flee, Track(kSlot).mode);
    EXPECT_EQ(9, Track(kSlot).modeOrder);
    EXPECT_EQ(0u, ThreatBit(p));
    EXPECT_EQ(0u, EngageBit(p));

    // Already fleeing: no new test, no new order, up to FearRadius + 10 m.
    sim::MovePed(p, 29.9f, 0.0f, 0.0f);
    Tick();
    EXPECT_TRUE(Orders().empty());
    EXPECT_EQ(1, sim::FrightTests());
    EXPECT_EQ(Flee, Track(kSlot).mode);

    sim::MovePed(p, 30.5f, 0.0f, 0.0f);
    Tick();
    Lines expected = standDown;
    expected.push_back(Walk());
    EXPECT_EQ(expected, Orders());
    EXPECT_EQ(Calm, Track(kSlot).mode);
}

TEST_F(PedFear, HostRefusingFrightKeepsTheMemberCalm) {
    sim::SetFrightAnswer(kSlot, 0);
    Member(10.0f);
    Tick();
    EXPECT_EQ(1, sim::FrightTests());
    EXPECT_TRUE(Orders().empty());
    EXPECT_EQ(Calm, Track(kSlot).mode);

    sim::SetFrightAnswer(kSlot, 1);
    Tick();
    EXPECT_EQ(flee, Orders());
}

TEST_F(PedFear, LapsedFleeOrderIsGivenAgain) {
    uint8_t* p = Member(10.0f);
    Tick();
    Order(p) = 0;  // the host dropped the order
    Tick();
    EXPECT_EQ(flee, Orders());
    sim::Field<uint8_t>(p, sim::ped::OrderFlags) = 0x40;  // the host wants it renewed
    Tick();
    EXPECT_EQ(flee, Orders());
    Tick();
    EXPECT_TRUE(Orders().empty());
    EXPECT_EQ(1, sim::FrightTests());
}

TEST_F(PedFear, MemberInVehicleDismountsThenFlees) {
    uint8_t* p = Member(40.0f);
    uint8_t* car = sim::NewVehicle(15.0f, 0.0f, 0.0f);  // the vehicle's position counts
    sim::SeatPed(p, car);
    Tick();
    EXPECT_EQ((Lines{"order ped=5 clear 0", "order ped=5 give 13 target=vehicle"}), Orders());
    EXPECT_EQ(Dismount, Track(kSlot).mode);
    EXPECT_EQ(13, Track(kSlot).modeOrder);
    EXPECT_EQ(car, Target(p));

    Tick();  // still seated
    EXPECT_TRUE(Orders().empty());

    sim::UnseatPed(p);
    State(p) = 54;  // still getting out
    Tick();
    EXPECT_TRUE(Orders().empty());
    EXPECT_EQ(Dismount, Track(kSlot).mode);

    State(p) = 1;
    Tick();
    EXPECT_EQ(flee, Orders());
    EXPECT_EQ(Flee, Track(kSlot).mode);
    EXPECT_EQ(1, sim::FrightTests());
}

TEST_F(PedFear, PlayerInVehicleStandsFleeingMembersDownButDismountCarriesOn) {
    uint8_t* runner = Member(10.0f);
    uint8_t* driver = sim::SpawnPed(6, kLeone, 12.0f, 0.0f, 0.0f);
    sim::SeatPed(driver, sim::NewVehicle(12.0f, 0.0f, 0.0f));
    Tick();
    ASSERT_EQ(Flee, Track(kSlot).mode);
    ASSERT_EQ(Dismount, Track(6).mode);

    sim::SeatPed(sim::Player(), sim::NewVehicle(0.0f, 0.0f, 0.0f));
    Tick();
    Lines expected = standDown;
    expected.push_back(Walk());
    EXPECT_EQ(expected, Orders());
    EXPECT_EQ(Calm, Track(kSlot).mode);
    EXPECT_TRUE(TraceOf("order ped=6").empty());
    EXPECT_EQ(Dismount, Track(6).mode);

    sim::UnseatPed(driver);
    Tick();
    EXPECT_EQ((Lines{"order ped=6 clear 0", "order ped=6 give 9 target=player"}), TraceOf("order ped=6"));
    EXPECT_EQ(Flee, Track(6).mode);
    (void)runner;
}

TEST_F(PedFear, HurtMemberRetaliatesForTheWindowWithinDisengageRadius) {
    uint8_t* p = Member(10.0f);
    sim::Field<uint32_t>(p, sim::ped::Threat) = 1;
    sim::Field<uint8_t>(p, sim::ped::Engage) = 0;
    sim::AdvanceClock(10000);
    Track(kSlot) = PedTrack{sim::SlotStatus(kSlot) + 1u, false, true, sim::Clock(), None, 0, 0, 0, 0, 0};
    Tick();  // one second after the hit
    EXPECT_EQ((Lines{"order ped=5 clear 0", "order ped=5 give 8 target=player"}), Orders());
    EXPECT_EQ(Retaliate, Track(kSlot).mode);
    EXPECT_EQ(1u, ThreatBit(p));  // its own bit back
    EXPECT_EQ(1u, EngageBit(p));
    EXPECT_EQ(0, sim::FrightTests());

    sim::MovePed(p, 44.0f, 0.0f, 0.0f);
    Tick();
    EXPECT_TRUE(Orders().empty());

    // Beyond DisengageRadius: stood down.
    sim::MovePed(p, 46.0f, 0.0f, 0.0f);
    Tick();
    Lines expected = standDown;
    expected.push_back(Walk());
    EXPECT_EQ(expected, Orders());
    EXPECT_EQ(Calm, Track(kSlot).mode);
    EXPECT_EQ(0u, ThreatBit(p));
    EXPECT_EQ(0u, EngageBit(p));

    // Back in range but exactly RetaliationSeconds after the hit: afraid instead.
    sim::MovePed(p, 10.0f, 0.0f, 0.0f);
    Track(kSlot).damageTime = sim::Clock() + 1000 - 8000;
    Tick();
    EXPECT_EQ(flee, Orders());
    EXPECT_EQ(Flee, Track(kSlot).mode);
}

TEST_F(PedFear, RetaliationSwitchedOffLeavesHurtMembersAfraid) {
    settings.EnableRetaliation = false;
    Member(10.0f);
    Track(kSlot) = PedTrack{sim::SlotStatus(kSlot) + 1u, false, true, sim::Clock() + 500, None, 0, 0, 0, 0, 0};
    Tick();
    EXPECT_EQ(flee, Orders());
    EXPECT_EQ(Flee, Track(kSlot).mode);
}

TEST_F(PedFear, GangNoLongerBrokenReleasesMembersWithTheirOwnBits) {
    uint8_t* runner = Member(10.0f);
    uint8_t* calm = sim::SpawnPed(6, kLeone, 60.0f, 0.0f, 0.0f);
    sim::Field<uint8_t>(calm, sim::ped::Engage) = 0;
    Tick();
    ASSERT_EQ(Flee, Track(kSlot).mode);
    ASSERT_EQ(Calm, Track(6).mode);

    fearState.gangs[1].kills = 299;
    Tick();
    Lines expected = standDown;
    expected.push_back(Walk());
    EXPECT_EQ(expected, Orders());                 // still the engine's flee order
    EXPECT_TRUE(TraceOf("order ped=6").empty());  // a calm member's order is its own
    EXPECT_EQ(None, Track(kSlot).mode);
    EXPECT_EQ(None, Track(6).mode);
    EXPECT_EQ(1u, ThreatBit(runner));
    EXPECT_EQ(1u, EngageBit(runner));
    EXPECT_EQ(1u, ThreatBit(calm));
    EXPECT_EQ(0u, EngageBit(calm));
}

TEST_F(PedFear, ReleaseLeavesWhatSomethingElseChangedSince) {
    uint8_t* p = Member(10.0f);
    sim::Field<uint32_t>(p, sim::ped::Threat) = 0;  // its own threat bit is clear
    Tick();
    ASSERT_EQ(Flee, Track(kSlot).mode);
    sim::Field<uint32_t>(p, sim::ped::Threat) = 1;  // the host set the bit since
    Order(p) = 4;                                    // and gave its own order
    settings.EnableFear = false;
    Tick();
    EXPECT_TRUE(Orders().empty());
    EXPECT_EQ(1u, ThreatBit(p));  // not the saved 0
    EXPECT_EQ(1u, EngageBit(p));  // unchanged since written: restored
    EXPECT_EQ(None, Track(kSlot).mode);
    Tick();  // released records stay released
    EXPECT_TRUE(Orders().empty());
}

TEST_F(PedFear, DeadOrUncontrollableMembersAreReleasedWithoutOrders) {
    uint8_t* dead = Member(10.0f);
    uint8_t* held = sim::SpawnPed(6, kLeone, 11.0f, 0.0f, 0.0f);
    Tick();
    ASSERT_EQ(Flee, Track(kSlot).mode);
    ASSERT_EQ(Flee, Track(6).mode);
    sim::KillPed(dead);
    sim::Field<uint8_t>(held, sim::ped::Controllable) = 2;
    Tick();
    EXPECT_TRUE(TraceOf("order").empty());
    EXPECT_EQ(None, Track(kSlot).mode);
    EXPECT_EQ(None, Track(6).mode);
    EXPECT_EQ(1u, ThreatBit(dead));
    EXPECT_EQ(1u, ThreatBit(held));
    EXPECT_EQ(1u, EngageBit(held));
}

TEST_F(PedFear, MissionsUnderPreserveMissionsReleaseEveryone) {
    Member(10.0f);
    Tick();
    ASSERT_EQ(Flee, Track(kSlot).mode);
    sim::SetMission(true);
    Tick();
    EXPECT_EQ(None, Track(kSlot).mode);
    Tick();
    EXPECT_EQ(None, Track(kSlot).mode);

    sim::SetMission(false);
    sim::SetMissionFlagOffset(6);  // unusable: counts as a mission
    Tick();
    EXPECT_EQ(None, Track(kSlot).mode);

    settings.PreserveMissions = false;
    Tick();
    EXPECT_EQ(Flee, Track(kSlot).mode);
}

TEST_F(PedFear, FreedAndReusedSlotsStartWithEmptyRecords) {
    Member(10.0f);
    Tick();
    ASSERT_EQ(Flee, Track(kSlot).mode);
    Track(kSlot).killCounted = true;
    sim::FreeSlot(kSlot);
    Tick();
    EXPECT_EQ(0u, Track(kSlot).stamp);
    EXPECT_EQ(None, Track(kSlot).mode);

    uint8_t* first = Member(60.0f);
    Tick();
    Track(kSlot).playerDamaged = true;
    Track(kSlot).damageTime = sim::Clock();
    uint8_t* newcomer = Member(60.0f);  // a new occupant between two ticks
    ASSERT_EQ(first, newcomer);
    Tick();
    EXPECT_FALSE(Track(kSlot).playerDamaged);
    EXPECT_EQ(Calm, Track(kSlot).mode);
    EXPECT_EQ(sim::SlotStatus(kSlot) + 1u, Track(kSlot).stamp);
}

TEST_F(PedFear, LivingPedestriansMayBeCountedAgain) {
    sim::SpawnPed(6, 4, 500.0f, 0.0f, 0.0f);  // a civilian far away
    uint8_t* dead = Member(10.0f);
    sim::KillPed(dead);
    Tick();
    Track(6).killCounted = true;
    Track(kSlot).killCounted = true;
    Tick();
    EXPECT_FALSE(Track(6).killCounted);
    EXPECT_TRUE(Track(kSlot).killCounted);
}

TEST_F(PedFear, UntriedFirstTakeoverStaysOnRecordAsCalm) {
    // Afraid in a vehicle the host has no pointer for: no dismount order.
    uint8_t* p = Member(10.0f);
    sim::SeatPed(p, nullptr);
    Tick();
    EXPECT_TRUE(Orders().empty());
    EXPECT_EQ(Calm, Track(kSlot).mode);
    EXPECT_EQ(0u, ThreatBit(p));
    Tick();  // tried again, and the saved bits are still the member's own
    EXPECT_EQ(1, Track(kSlot).savedThreatBit);
    EXPECT_EQ(1, Track(kSlot).savedEngageBit);
    fearState.gangs[1].kills = 0;
    Tick();
    EXPECT_EQ(1u, ThreatBit(p));
    EXPECT_EQ(1u, EngageBit(p));
    EXPECT_EQ(None, Track(kSlot).mode);

    // Afraid on foot while still getting out of a vehicle: no flee order yet.
    fearState.gangs[1].kills = 300;
    sim::UnseatPed(p);
    State(p) = 54;
    Tick();
    EXPECT_TRUE(Orders().empty());
    EXPECT_EQ(Calm, Track(kSlot).mode);
    State(p) = 1;
    Tick();
    EXPECT_EQ(flee, Orders());
    EXPECT_EQ(1, Track(kSlot).savedThreatBit);
}

TEST_F(PedFear, PositionThatIsNotANumberIsOutOfScope) {
    uint8_t* p = Member(10.0f);
    Tick();
    ASSERT_EQ(Flee, Track(kSlot).mode);
    sim::MovePed(p, std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f);
    Tick();
    EXPECT_EQ(None, Track(kSlot).mode);
    EXPECT_EQ(1u, ThreatBit(p));

    sim::MovePed(p, 10.0f, 0.0f, 0.0f);
    sim::MovePed(sim::Player(), 0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN());
    Tick();
    EXPECT_EQ(None, Track(kSlot).mode);
    EXPECT_EQ(1, sim::FrightTests());
}

TEST_F(PedFear, ScopeEndsAtOneHundredTwentyMetres) {
    Member(120.0f);
    sim::SpawnPed(6, kLeone, 120.01f, 0.0f, 0.0f);
    sim::SpawnPed(7, kTriads, 10.0f, 0.0f, 0.0f);  // gang not broken
    sim::SpawnPed(8, 20, 10.0f, 0.0f, 0.0f);       // ped type beyond the table
    Tick();
    EXPECT_EQ(Calm, Track(kSlot).mode);
    EXPECT_EQ(None, Track(6).mode);
    EXPECT_EQ(None, Track(7).mode);
    EXPECT_EQ(None, Track(8).mode);
    EXPECT_TRUE(TraceOf("order").empty());
}

TEST_F(PedFear, ManagedCountReachesTheStatusLine) {
    Member(10.0f);
    sim::SpawnPed(6, kLeone, 100.0f, 0.0f, 0.0f);
    sim::SpawnPed(7, kLeone, 130.0f, 0.0f, 0.0f);
    sim::SetClock(9000);
    Tick();
    const std::vector<std::string> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("STATUS kills=0,300,0,0 managed=2 zones=0 scaled=0", log.back());
}

}  // namespace
