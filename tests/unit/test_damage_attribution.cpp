// Wounds the player deals to members of hostile gangs are marked on the
// victim's record, judged by what the host's damage method really did.
#include <limits>

#include "fear_world.h"

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
    // A hit with the host's discipline checked; returns the host's byte result.
    static uint32_t Hit(uint8_t* victim, void* attacker, float amount) {
        const sim::CallResult call = sim::DamagePed(victim, attacker, amount);
        EXPECT_TRUE(call.registersKept && call.stackBalanced);
        return call.eax & 0xFF;
    }
    static bool Marked() { return Track(kSlot).playerDamaged; }
    static float& Health(uint8_t* p) { return sim::Field<float>(p, sim::ped::Health); }
};

TEST_F(DamageAttribution, PlayersHitMarksAndPassesEverythingThrough) {
    uint8_t* victim = Victim();
    sim::SetDamageResult(0x5A);
    const sim::CallResult call = sim::DamagePed(victim, sim::Player(), 12.5f, 7, 9, 0x01);
    EXPECT_TRUE(call.registersKept && call.stackBalanced && (call.eax & 0xFF) == 0x5A);
    EXPECT_TRUE(Marked() && Track(kSlot).damageTime == 4242 && Track(kSlot).stamp == sim::SlotStatus(kSlot) + 1u);
    const sim::DamageCall& d = sim::lastDamage;
    EXPECT_TRUE(d.count == 1 && d.victim == victim && d.attacker == sim::Player() && d.weapon == 7 &&
                d.amount == 12.5f && d.bodyPart == 9 && d.flag == 1);
    EXPECT_EQ(87.5f, Health(victim));

    sim::SetClock(9000);  // a later hit moves the time on
    Hit(victim, sim::Player(), 1.0f);
    EXPECT_EQ(9000u, Track(kSlot).damageTime);

    Track(kSlot) = PedTrack{};
    sim::SeatPed(sim::Player(), sim::NewVehicle(0, 0, 0));  // the player's vehicle counts as the player
    Hit(victim, sim::Field<uint8_t*>(sim::Player(), sim::ped::Vehicle), 1.0f);
    EXPECT_TRUE(Marked());
}

TEST_F(DamageAttribution, OnlyThePlayersRealHitsOnHostileMembersUnderControlMark) {
    const struct { const char* name; int32_t pedType; void (*prepare)(uint8_t*); bool byPlayer; float amount; } cases[] = {
        {"another attacker", kLeone, [](uint8_t*) {}, false, 10.0f},
        {"a civilian", 4, [](uint8_t*) {}, true, 10.0f},
        {"a peaceful gang", kLeone, [](uint8_t*) { sim::SetPedTypeHostile(kLeone, false); }, true, 10.0f},
        {"not controllable", kLeone, [](uint8_t* v) { sim::Field<uint8_t>(v, sim::ped::Controllable) = 0; }, true, 10.0f},
        {"no loss", kLeone, [](uint8_t*) {}, true, 0.0f},
        {"healed", kLeone, [](uint8_t*) {}, true, -5.0f},
        {"NaN health", kLeone, [](uint8_t* v) { Health(v) = std::numeric_limits<float>::quiet_NaN(); }, true, 5.0f},
        {"switched off", kLeone, [](uint8_t*) { settings.Enabled = false; }, true, 10.0f},
        {"inactive", kLeone, [](uint8_t*) { fearState.active = false; }, true, 10.0f},
    };
    uint8_t* rival = sim::SpawnPed(9, kTriads, 0, 0, 0);
    int runs = 0;
    for (const auto& c : cases) {
        uint8_t* victim = Victim(c.pedType);
        Track(kSlot) = PedTrack{};
        c.prepare(victim);
        EXPECT_EQ(1u, Hit(victim, c.byPlayer ? sim::Player() : rival, c.amount)) << c.name;
        EXPECT_FALSE(Marked()) << c.name;
        EXPECT_TRUE(sim::lastDamage.count == ++runs && sim::lastDamage.amount == c.amount) << c.name;
        sim::SetPedTypeHostile(kLeone, true);
        settings.Enabled = fearState.active = true;
    }
    Hit(Victim(), nullptr, 10.0f);
    EXPECT_FALSE(Marked());
    EXPECT_EQ(nullptr, sim::lastDamage.attacker);

    uint8_t* victim = Victim(kTriads);  // the first of the gangs
    sim::Field<float>(victim, sim::ped::Armour) = 50.0f;
    Hit(victim, sim::Player(), 20.0f);  // armour only
    EXPECT_EQ(100.0f, Health(victim));
    EXPECT_TRUE(Marked());
}

TEST_F(DamageAttribution, VictimWhoseSlotChangedDuringTheHitIsNotMarked) {
    sim::SetDamageResult(0x33);
    sim::SetNextDamageEffect(sim::DamageEffect::FreeVictimSlot);
    EXPECT_EQ(0x33u, Hit(Victim(), sim::Player(), 30.0f));
    EXPECT_FALSE(Marked());

    // The slot is handed to a new, already wounded occupant during the call.
    uint8_t* victim = Victim();
    sim::SetNextDamageEffect(sim::DamageEffect::ReuseVictimSlot);
    EXPECT_EQ(0x33u, Hit(victim, sim::Player(), 30.0f));
    EXPECT_EQ(70.0f, Health(victim));
    EXPECT_FALSE(Marked());
    EXPECT_EQ(sim::SlotStatus(kSlot) + 1u, Track(kSlot).stamp);
}

}  // namespace
