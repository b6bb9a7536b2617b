// Hook 2: damage the player deals to members of hostile gangs is marked on
// the victim's tracking record, so that the fear pass can let it hit back.
#include "fear/fear_state.h"
#include "host/handler_entries.h"
#include "host/hook_engine.h"
#include "settings/settings.h"

using namespace host;

namespace {

bool IsPlayer(const HostEntity* attacker) {
    if (attacker == reinterpret_cast<HostEntity*>(FindPlayerPed())) return true;
    return attacker == FindPlayerEntity();
}

}  // namespace

// The entry stub's pre-check: false sends the call to the host method untouched.
extern "C" bool DamageIsPlayers(HostPed* victim, HostEntity* attacker) {
    if (!fearState.active || !attacker || !settings.Enabled) return false;
    if (!IsPlayer(attacker)) return false;
    if (!RefreshedTrackOf(victim)) return false;
    if (GangOfPedType(victim->pedType) < 0 || !IsPedTypeHostile(victim->pedType)) return false;
    return victim->controllable == 1;
}

uint8_t __thiscall MarkPlayerDamage(HostPed* victim, HostEntity* attacker, uint32_t weapon, float amount,
                                    uint32_t bodyPart, uint32_t flag) {
    const PedDamageFn hostMethod = Trampoline<PedDamageFn>(kHookPedDamage);
    const PedTrack* before = RefreshedTrackOf(victim);
    if (!before) return hostMethod(victim, attacker, weapon, amount, bodyPart, flag);
    // The host may free the slot, or hand it to someone else, during the call:
    // only the same occupant (same stamp) is marked.
    const uint32_t stampBefore = before->stamp;
    const float valueBefore = victim->health + victim->armour;

    const uint8_t result = hostMethod(victim, attacker, weapon, amount, bodyPart, flag);

    PedTrack* after = RefreshedTrackOf(victim);
    if (after != before || after->stamp != stampBefore) return result;
    if (valueBefore > victim->health + victim->armour) {
        after->playerDamaged = true;
        after->damageTime = GameClock();
    }
    return result;
}
