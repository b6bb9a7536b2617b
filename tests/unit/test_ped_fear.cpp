// Members of a broken gang near the player: calmed, frightened off, allowed
// to hit back, and handed back to the host when they fall out of scope.
#include <limits>
#include <utility>

#include "fear_world.h"

namespace {

constexpr int kSlot = 5;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
using Bits = std::pair<uint32_t, uint32_t>;  // threat bit, engage bit
const Bits kOwn{1, 1}, kCleared{0, 0};

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
    void TickExpect(FearMode mode, const Lines& orders, int slot = kSlot) {
        Tick();
        EXPECT_EQ(mode, Track(slot).mode) << "slot " << slot;
        EXPECT_EQ(orders, Orders(slot)) << "slot " << slot;
    }

    static uint8_t* Spawn(int slot, float x, int32_t pedType = kLeone) { return sim::SpawnPed(slot, pedType, x, 0, 0); }
    static uint8_t* Member(float x) { return Spawn(kSlot, x); }
    uint8_t* Fleeing(float x) {
        uint8_t* p = Member(x);
        TickExpect(Flee, Flight());
        return p;
    }
    static void Move(uint8_t* p, float x) { sim::MovePed(p, x, 0, 0); }
    static void MoveBoth(float x5, float x6) { Move(sim::PedAt(kSlot), x5); Move(sim::PedAt(6), x6); }

    static Lines Orders(int slot = kSlot) { return TraceOf("order ped=" + std::to_string(slot) + " "); }
    static std::string Order(int slot, const std::string& what) { return "order ped=" + std::to_string(slot) + " " + what; }
    // The orders that stand a member down on the next tick.
    static Lines StandDown(int slot = kSlot) {
        const uint32_t nextTick = sim::Clock() + 1000;
        return {Order(slot, "clear 0"), Order(slot, "clear 0"), Order(slot, "walk " + std::to_string((nextTick >> 4) & 7))};
    }
    static Lines Given(const std::string& order, int slot = kSlot) {
        return {Order(slot, "clear 0"), Order(slot, "give " + order)};
    }
    static Lines Flight(int slot = kSlot) { return Given("9 target=player", slot); }
    static Bits BitsOf(uint8_t* p) {
        return {sim::Field<uint32_t>(p, sim::ped::Threat) & 1, (sim::Field<uint8_t>(p, sim::ped::Engage) >> 1) & 1};
    }
    static void SetBits(uint8_t* p, uint32_t threatWord, uint8_t engageByte) {
        sim::Field<uint32_t>(p, sim::ped::Threat) = threatWord;
        sim::Field<uint8_t>(p, sim::ped::Engage) = engageByte;
    }
    static void Aim(uint8_t* p, int32_t order, uint8_t* target) {
        OrderOf(p) = order;
        sim::Field<uint8_t*>(p, sim::ped::OrderTarget) = target;
    }
    static int32_t& OrderOf(uint8_t* p) { return sim::Field<int32_t>(p, sim::ped::Order); }
    static uint32_t& State(uint8_t* p) { return sim::Field<uint32_t>(p, sim::ped::State); }
    static void Hurt(int slot, uint32_t agoMs) {
        Track(slot).stamp = sim::SlotStatus(slot) + 1u;
        Track(slot).playerDamaged = true;
        Track(slot).damageTime = sim::Clock() + 1000 - agoMs;  // as seen by the next tick
    }
};

TEST_F(PedFear, CalmMembersKeepTheirOrdersUnlessAttackingThePlayer) {
    uint8_t* p = Member(50.0f);
    SetBits(p, 0x81, 0x0A);
    Aim(Spawn(6, 60.0f), 8, sim::Player());
    Aim(Spawn(7, 60.0f), 7, sim::PedAt(9));  // attacking someone else
    const Lines standDown = StandDown(6);
    TickExpect(Calm, {});
    EXPECT_EQ(0x80u, sim::Field<uint32_t>(p, sim::ped::Threat));  // other bits kept
    EXPECT_EQ(0x08, sim::Field<uint8_t>(p, sim::ped::Engage));
    EXPECT_EQ(2, Track(kSlot).savedThreatBit + Track(kSlot).savedEngageBit);
    EXPECT_EQ(standDown, Orders(6));
    EXPECT_TRUE(Track(6).modeOrder == 0 && Track(7).mode == Calm && Orders(7).empty() && sim::FrightTests() == 0);
    Aim(p, 8, sim::Player());  // once calm, nothing more is done
    TickExpect(Calm, {});
}

TEST_F(PedFear, MemberOnFootFleesWithinFearRadiusOnceTheHostAgrees) {
    sim::SetFrightAnswer(kSlot, 0);
    uint8_t* p = Member(20.0f);  // exactly at FearRadius
    TickExpect(Calm, {});
    EXPECT_EQ(Lines{"fright ped=5 -> 0"}, TraceOf("fright"));
    sim::SetFrightAnswer(kSlot, 1);
    TickExpect(Flee, Flight());
    EXPECT_TRUE(Track(kSlot).modeOrder == 9 && BitsOf(p) == kCleared);

    OrderOf(p) = 0;  // the host dropped the order
    TickExpect(Flee, Flight());
    sim::Field<uint8_t>(p, sim::ped::OrderFlags) = 0x40;  // the host wants it renewed
    TickExpect(Flee, Flight());
    Move(p, 30.0f);  // already fleeing: no new test up to FearRadius + 10 m
    TickExpect(Flee, {});
    EXPECT_EQ(2, sim::FrightTests());
    Move(p, 30.01f);
    TickExpect(Calm, StandDown());
}

TEST_F(PedFear, MemberInVehicleDismountsThenFleesWhilePlayerInVehicleStandsFleeingMembersDown) {
    uint8_t* p = Member(40.0f);
    uint8_t* car = sim::NewVehicle(15.0f, 0.0f, 0.0f);  // the vehicle's position counts
    sim::SeatPed(p, car);
    Spawn(6, 10.0f);
    TickExpect(Dismount, Given("13 target=vehicle"));
    EXPECT_TRUE(Track(kSlot).modeOrder == 13 && sim::Field<uint8_t*>(p, sim::ped::OrderTarget) == car);
    EXPECT_EQ(Flee, Track(6).mode);
    sim::SeatPed(sim::Player(), sim::NewVehicle(0.0f, 0.0f, 0.0f));
    TickExpect(Calm, StandDown(6), 6);
    EXPECT_TRUE(Track(kSlot).mode == Dismount && Orders().empty());  // still seated: carries on
    sim::UnseatPed(p);
    State(p) = 54;  // still getting out
    TickExpect(Dismount, {});
    State(p) = 1;
    TickExpect(Flee, Flight());
    EXPECT_EQ(2, sim::FrightTests());

    // Handed back while still in its car: its order is cleared once, and it
    // is not sent walking.
    sim::UnseatPed(sim::Player());
    uint8_t* driver = Spawn(7, 12.0f);
    sim::SeatPed(driver, sim::NewVehicle(12.0f, 0.0f, 0.0f));
    TickExpect(Dismount, Given("13 target=vehicle", 7), 7);
    fearState.gangs[1].kills = 0;
    TickExpect(None, {Order(7, "clear 0")}, 7);
}

TEST_F(PedFear, HurtMemberRetaliatesForTheWindowWithinDisengageRadius) {
    uint8_t* p = Member(45.0f);  // exactly at DisengageRadius
    SetBits(p, 1, 0);
    Hurt(kSlot, 7999);
    uint8_t* q = Spawn(6, 30.0f);  // one that never saw the player as a threat
    SetBits(q, 0, 0);
    Hurt(6, 100);
    TickExpect(Retaliate, Given("8 target=player"));
    EXPECT_EQ(Bits(1, 1), BitsOf(p));  // its own threat bit back, engaged
    EXPECT_TRUE(Track(6).mode == Retaliate && BitsOf(q) == Bits(0, 1));
    EXPECT_EQ(0, sim::FrightTests());
    sim::Field<uint8_t>(q, sim::ped::Controllable) = 2;  // handed back: its own bits again
    Move(p, 45.01f);
    Hurt(kSlot, 1000);
    TickExpect(Calm, StandDown());
    EXPECT_EQ(kCleared, BitsOf(p));
    EXPECT_TRUE(Track(6).mode == None && BitsOf(q) == Bits(0, 0));
    EXPECT_EQ(0, sim::Field<uint8_t>(q, sim::ped::Engage));  // no other bit of its byte touched
    Move(p, 10.0f);
    Hurt(kSlot, 1000);
    TickExpect(Retaliate, Given("8 target=player"));
    Hurt(kSlot, 8000);  // the window has closed: afraid instead
    TickExpect(Flee, Flight());
    settings.EnableRetaliation = false;
    Hurt(kSlot, 0);
    TickExpect(Flee, {});
}

TEST_F(PedFear, OutOfScopeMembersAreReleasedWithTheirOwnBits) {
    uint8_t* calm = Spawn(6, 60.0f);
    SetBits(calm, 1, 0);
    const struct { const char* name; void (*spoil)(bool on); } cases[] = {
        {"gang no longer broken", [](bool on) { fearState.gangs[1].kills = on ? 299 : 300; }},
        {"gang no longer hostile", [](bool on) { sim::SetPedTypeHostile(kLeone, !on); }},
        {"fear off", [](bool on) { settings.EnableFear = !on; }},
        {"disabled", [](bool on) { settings.Enabled = !on; }},
        {"player out of play", [](bool on) { sim::SetPlayerInPlay(!on); }},
        {"mission", [](bool on) { sim::SetMission(on); }},
        {"unusable mission flag", [](bool on) { sim::SetMissionFlagOffset(on ? 6 : sim::kMissionFlagOffsetDefault); }},
        {"beyond 120 m", [](bool on) { MoveBoth(on ? 120.01f : 10.0f, on ? 121.0f : 60.0f); }},
        {"not a number", [](bool on) { MoveBoth(on ? kNaN : 10.0f, on ? kNaN : 60.0f); }},
        {"player not a number", [](bool on) { sim::MovePed(sim::Player(), 0, 0, on ? kNaN : 0); }},
    };
    uint8_t* p = Fleeing(10.0f);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.spoil(true);
        TickExpect(None, StandDown());  // still the engine's flee order
        EXPECT_TRUE(Orders(6).empty());  // a calm member's order is its own
        EXPECT_EQ(None, Track(6).mode);
        EXPECT_TRUE(BitsOf(p) == kOwn && BitsOf(calm) == Bits(1, 0));
        Tick();  // released records stay released
        EXPECT_TRUE(TraceOf("order").empty());
        c.spoil(false);
        TickExpect(Flee, Flight());
        EXPECT_EQ(Calm, Track(6).mode);
    }
    settings.PreserveMissions = false;  // missions matter only under PreserveMissions
    sim::SetMission(true);
    TickExpect(Flee, {});
    EXPECT_EQ(11, sim::FrightTests());
}

TEST_F(PedFear, ReleaseLeavesWhatSomethingElseChangedSince) {
    uint8_t* p = Member(10.0f);
    SetBits(p, 0, 0);  // its own bits are clear
    TickExpect(Flee, Flight());
    SetBits(p, 1, 2);  // the host set both since
    OrderOf(p) = 4;    // and gave its own order
    settings.EnableFear = false;
    TickExpect(None, {});
    EXPECT_EQ(kOwn, BitsOf(p));
}

TEST_F(PedFear, DeadOrUncontrollableMembersAreReleasedWithoutOrders) {
    uint8_t* dead = Fleeing(10.0f);
    uint8_t* held = Spawn(6, 11.0f);
    Spawn(7, 500.0f, 4);  // a civilian far away
    Tick();
    sim::KillPed(dead);
    sim::Field<uint8_t>(held, sim::ped::Controllable) = 2;
    for (int slot : {5, 7}) Track(slot).killCounted = true;
    Tick();
    EXPECT_TRUE(TraceOf("order").empty());
    for (int slot : {5, 6}) {
        EXPECT_EQ(None, Track(slot).mode) << slot;
        EXPECT_EQ(kOwn, BitsOf(sim::PedAt(slot))) << slot;
    }
    EXPECT_TRUE(Track(kSlot).killCounted);  // only the living may be counted again
    EXPECT_FALSE(Track(7).killCounted);
}

TEST_F(PedFear, FreedAndReusedSlotsStartWithEmptyRecords) {
    Fleeing(10.0f);
    sim::FreeSlot(kSlot);
    Tick();
    EXPECT_TRUE(Track(kSlot).stamp == 0 && Track(kSlot).mode == None);
    Member(60.0f);
    Tick();
    Hurt(kSlot, 0);
    Member(60.0f);  // a new occupant between two ticks
    TickExpect(Calm, {});
    EXPECT_FALSE(Track(kSlot).playerDamaged);
    EXPECT_EQ(sim::SlotStatus(kSlot) + 1u, Track(kSlot).stamp);
}

// Its wish waits, but an attack on the player is stood down on the first tick.
TEST_F(PedFear, UntriedFirstTakeoverStaysOnRecordAsCalm) {
    uint8_t* p = Member(10.0f);
    sim::SeatPed(p, nullptr);  // afraid in a vehicle the host has no pointer for
    Aim(p, 8, sim::Player());
    TickExpect(Calm, {Order(kSlot, "clear 0")});
    EXPECT_EQ(kCleared, BitsOf(p));
    TickExpect(Calm, {});  // tried again, and the saved bits are still the member's own
    fearState.gangs[1].kills = 0;
    TickExpect(None, {});
    EXPECT_EQ(kOwn, BitsOf(p));

    fearState.gangs[1].kills = 300;  // afraid on foot while still getting out of a vehicle
    sim::UnseatPed(p);
    State(p) = 54;
    Aim(p, 7, sim::Player());
    TickExpect(Calm, {Order(kSlot, "clear 0")});
    TickExpect(Calm, {});
    State(p) = 1;
    TickExpect(Flee, Flight());
    EXPECT_EQ(1, Track(kSlot).savedThreatBit);
}

TEST_F(PedFear, ScopeEndsAtOneHundredTwentyMetresAndManagedReachesTheStatusLine) {
    Member(120.0f);
    Spawn(6, 100.0f);
    Spawn(7, 120.01f);
    Spawn(8, 10.0f, kTriads);  // gang not broken
    Spawn(9, 10.0f, 16);       // the first ped type beyond the table
    sim::SpawnPed(10, kLeone, 0.0f, 0.0f, 120.01f);  // straight above: height counts too
    sim::Field<float>(Spawn(11, 10.0f), sim::ped::Health) = 0.0f;  // no health, though its state lives
    Spawn(63, 100.0f);         // the pool's last slot
    Spawn(64, 100.0f);         // beyond the pool's count
    sim::MovePlayerToSlot(12);
    Spawn(0, 100.0f);  // the player need not hold the first slot
    sim::SetClock(9000);
    Tick();
    EXPECT_EQ((std::vector<FearMode>{Calm, Calm, Calm, None, None, None, None, None, Calm, None}),
              (std::vector<FearMode>{Track(0).mode, Track(5).mode, Track(6).mode, Track(7).mode, Track(8).mode,
                                     Track(9).mode, Track(10).mode, Track(11).mode, Track(63).mode, Track(64).mode}));
    EXPECT_TRUE(TraceOf("order").empty());
    EXPECT_EQ("STATUS kills=0,300,0,0 managed=4 zones=0 scaled=0", Log().back());
}

}  // namespace
