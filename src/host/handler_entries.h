// The handlers of the eight hooks. Sites 0, 1, 2 and 4 are entered through
// small assembly stubs (handler_entries.cpp) that keep the registers and the
// stack as the host needs them and call the C++ handlers; sites 3, 5, 6 and 7
// are entered at their C++ handlers directly, which share the host routines'
// calling conventions.
#pragma once

#include <cstdint>

#include "host/host_interface.h"

extern "C" {
void FearTickEntry();            // hook 0
void CountKillEntry();           // hook 1
void MarkPlayerDamageEntry();    // hook 2
void ResetOnNewGameEntry();      // hook 4
}

// Called by the stubs (cdecl).
extern "C" void FearTick();                                               // after the wrapped routine ran
extern "C" void CountKill(host::HostPed* victim);                         // before the host routine
extern "C" bool DamageIsPlayers(host::HostPed* victim, host::HostEntity* attacker);  // false: host runs alone
extern "C" void ResetOnNewGame();                                         // after the host routine ran

// Entered through a stub after DamageIsPlayers said yes; same form as the host method.
uint8_t __thiscall MarkPlayerDamage(host::HostPed* victim, host::HostEntity* attacker, uint32_t weapon,
                                    float amount, uint32_t bodyPart, uint32_t flag);

// Entered directly from the patched sites.
void __cdecl ScaleGangDensity(uint32_t zone, uint8_t* record);
uint8_t __thiscall SaveProgress(void* saver, uint32_t argument);
uint8_t __cdecl LoadProgress();
void __cdecl RenderHook();
