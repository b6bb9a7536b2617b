// Wounds the player deals to members of hostile gangs are marked on the
// victim's record, judged by what the host's damage method really did.
#include <limits>

#include "fear_world.h"
#include "host/handler_entries.h"

namespace {

constexpr int kSlot = 4;

class DamageAttribution : public FearWorld {
protected:
    void SetUp() override {
        FearWorld::SetUp();
        InstallPluginHooks();
        sim::SetClock(4242);
    }

    uint8_t* Victim(int32_t pedType = kLeone) { return sim::SpawnPed(kSlot, pedType, 5.0f, 0.0f, 0.0f); }

    static void ExpectClean(const sim::CallResult& call) {
        EXPECT_TRUE(call.registersKept);
        EXPECT_TRUE(call.stackBalanced);
    }
    static bool Marked() { return Track(kSlot).playerDamaged; }
};

TEST_F(DamageAttribution, PlayersHitMarksAndPassesEverythingThrough) {
    uint8_t* victim = Victim();
    sim::SetDamageResult(0x5A);
    const sim::CallResult call = sim::DamagePed(victim, sim::Player(), 12.5f, 7, 9, 0x01);
    ExpectClean(call);
    EXPECT_EQ(0x5Au, call.eax & 0xFF);
    EXPECT_TRUE(Marked());
    EXPECT_EQ(4242u, Track(kSlot).damageTime);
    EXPECT_EQ(sim::SlotStatus(kSlot) + 1u, Track(kSlot).stamp);
    EXPECT_EQ(1, sim::lastDamage.count);
    EXPECT_EQ(victim, sim::lastDamage.victim);
    EXPECT_EQ(sim::Player(), sim::lastDamage.attacker);
    EXPECT_EQ(7u, sim::lastDamage.weapon);
    EXPECT_EQ(12.5f, sim::lastDamage.amount);
    EXPECT_EQ(9u, sim::lastDamage.bodyPart);
    EXPECT_EQ(0x01u, sim::lastDamage.flag);
    EXPECT_EQ(87.5f, sim::Field<float>(victim, sim::ped::Health));

    // A later hit moves the time on.
    sim::SetClock(9000);
    sim::DamagePed(victim, sim::Player(), 1.0f);
    EXPECT_EQ(9000u, Track(kSlot).damageTime);
}

TEST_F(DamageAttribution, PlayersVehicleCountsAsThePlayer) {
    uint8_t* car = sim::NewVehicle(0, 0, 0);
    sim::SeatPed(sim::Player(), car);
    ExpectClean(sim::DamagePed(Victim(), car, 10.0f));
    EXPECT_TRUE(Marked());
}

TEST_F(DamageAttribution, OtherAttackersMarkNothing) {
    uint8_t* victim = Victim();
    uint8_t* rival = sim::SpawnPed(9, kTriads, 0, 0, 0);
    ExpectClean(sim::DamagePed(victim, rival, 10.0f));
    EXPECT_FALSE(Marked());
    const sim::CallResult call = sim::DamagePed(victim, nullptr, 10.0f);
    ExpectClean(call);
    EXPECT_FALSE(Marked());
    EXPECT_EQ(2, sim::lastDamage.count);  // the host method ran both times
    EXPECT_EQ(nullptr, sim::lastDamage.attacker);
    EXPECT_EQ(80.0f, sim::Field<float>(victim, sim::ped::Health));
}

TEST_F(DamageAttribution, OnlyHostileGangMembersUnderControlAreMarked) {
    uint8_t* civilian = Victim(4);
    sim::DamagePed(civilian, sim::Player(), 10.0f);
    EXPECT_FALSE(Marked());

    uint8_t* member = Victim();
    sim::SetPedTypeHostile(kLeone, false);
    sim::DamagePed(member, sim::Player(), 10.0f);
    EXPECT_FALSE(Marked());

    sim::SetPedTypeHostile(kLeone, true);
    sim::Field<uint8_t>(member, sim::ped::Controllable) = 0;
    sim::DamagePed(member, sim::Player(), 10.0f);
    EXPECT_FALSE(Marked());
    EXPECT_EQ(3, sim::lastDamage.count);
}

TEST_F(DamageAttribution, OnlyARealLossOfHealthPlusArmourMarks) {
    uint8_t* victim = Victim();
    sim::Field<float>(victim, sim::ped::Armour) = 50.0f;
    sim::DamagePed(victim, sim::Player(), 0.0f);
    EXPECT_FALSE(Marked());
    sim::DamagePed(victim, sim::Player(), -5.0f);  // heals
    EXPECT_FALSE(Marked());
    sim::Field<float>(victim, sim::ped::Health) = std::numeric_limits<float>::quiet_NaN();
    sim::DamagePed(victim, sim::Player(), 5.0f);
    EXPECT_FALSE(Marked());

    sim::Field<float>(victim, sim::ped::Health) = 100.0f;
    sim::DamagePed(victim, sim::Player(), 20.0f);  // armour only
    EXPECT_EQ(100.0f, sim::Field<float>(victim, sim::ped::Health));
    EXPECT_TRUE(Marked());
}

TEST_F(DamageAttribution, VictimWhoseSlotChangedDuringTheHitIsNotMarked) {
    uint8_t* victim = Victim();
    sim::SetDamageResult(1);
    sim::SetNextDamageEffect(sim::DamageEffect::FreeVictimSlot);
    sim::CallResult call = sim::DamagePed(victim, sim::Player(), 30.0f);
    ExpectClean(call);
    EXPECT_EQ(1u, call.eax & 0xFF);
    EXPECT_FALSE(Marked());

    // The slot is handed to a new, already wounded occupant during the call.
    victim = Victim();
    sim::SetNextDamageEffect(sim::DamageEffect::ReuseVictimSlot);
    call = sim::DamagePed(victim, sim::Player(), 30.0f);
    ExpectClean(call);
    EXPECT_EQ(70.0f, sim::Field<float>(victim, sim::ped::Health));
    EXPECT_FALSE(Marked());
    EXPECT_EQ(sim::SlotStatus(kSlot) + 1u, Track(kSlot).stamp);
}

TEST_F(DamageAttribution, SwitchedOffPluginLeavesTheHitToTheHost) {
    uint8_t* victim = Victim();
    settings.Enabled = false;
    ExpectClean(sim::DamagePed(victim, sim::Player(), 10.0f));
    settings.Enabled = true;
    fearState.active = false;
    ExpectClean(sim::DamagePed(victim, sim::Player(), 10.0f));
    EXPECT_FALSE(Marked());
    EXPECT_EQ(0u, Track(kSlot).stamp);
    EXPECT_EQ(2, sim::lastDamage.count);
    EXPECT_EQ(80.0f, sim::Field<float>(victim, sim::ped::Health));
}

}  // namespace
