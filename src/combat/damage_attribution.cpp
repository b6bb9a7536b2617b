#include "host/handler_entries.h"
#include "host/hook_engine.h"

extern "C" bool DamageIsPlayers(host::HostPed*, host::HostEntity*) { return false; }

uint8_t __thiscall MarkPlayerDamage(host::HostPed* victim, host::HostEntity* attacker, uint32_t weapon, float amount,
                                    uint32_t bodyPart, uint32_t flag) {
    return Trampoline<host::PedDamageFn>(kHookPedDamage)(victim, attacker, weapon, amount, bodyPart, flag);
}
