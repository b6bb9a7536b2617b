// Controls for the simulator's pedestrian routines (world_peds.cpp): what the
// host's fright test answers, what the damage method does to the pool while
// it runs, and the calls the game makes into the two hooked routines.
#pragma once

#include <cstdint>

#include "sim.h"

namespace sim {

// What SimPedDamage does to the victim's pool slot after applying the damage,
// once, on its next call.
enum class DamageEffect {
    None,
    FreeVictimSlot,   // the victim dies and its slot is freed
    ReuseVictimSlot,  // the slot is freed and taken by a new occupant (same type, place and health)
};
void SetNextDamageEffect(DamageEffect effect);
void SetDamageResult(uint8_t result);  // what the damage method returns (1 by default)

// The arguments the damage method last received, and how often it ran.
struct DamageCall {
    int count;
    uint8_t* victim;
    uint8_t* attacker;
    uint32_t weapon;
    float amount;
    uint32_t bodyPart;
    uint32_t flag;
};
extern DamageCall lastDamage;

// Answer of the fright test (0x4C5700) for one slot, or for every slot
// without its own answer when slot is -1. Default: 1 (takes fright).
void SetFrightAnswer(int slot, uint8_t answer);
int FrightTests();  // calls since ResetWorld

// The player lookup at 0x4A1150 answers null (no player yet) until set back.
void SetPlayerLookupNull(bool isNull);

// The pool slot of a pedestrian object, -1 for anything else.
int SlotOfPed(const void* object);

// The game crediting the player with a death: a call of 0x420F60 (victim, 0),
// caller removes the arguments.
CallResult CreditKill(uint8_t* victim);
// The game damaging a pedestrian: the method at 0x4EA420 on `victim` with its
// five arguments; the callee removes them.
CallResult DamagePed(uint8_t* victim, void* attacker, float amount, uint32_t weapon = 2, uint32_t bodyPart = 3,
                     uint32_t flag = 0);

}  // namespace sim
