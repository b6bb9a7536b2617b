// Pedestrian fear control: members of broken gangs near the player are held
// back from attacking, frightened off, allowed to hit back when the player
// hurt them, and handed back to the host once out of scope.
#pragma once

#include <cstdint>

#include "fear/fear_state.h"
#include "fear/world_tick.h"
#include "host/host_interface.h"

constexpr float kScopeRadiusSquared = 14400.0f;  // 120 m
constexpr float kFleeingAllowance = 10.0f;       // extra metres before a fleeing member calms

// Walks the whole pool once; returns how many members reached the fear decision.
uint32_t RunPedestrianPass(const host::HostPoolHeader& pool, host::HostPed* player, uint32_t now,
                           const BrokenTable& broken, bool fearGate);

// Hands a taken-over pedestrian back to the host, undoing what the fear engine
// changed as far as nothing else changed it since.
void ReleasePed(PedTrack& track, host::HostPed* ped);

// The position that counts: the vehicle's while seated in one.
host::HostVec3 PositionOf(const host::HostPed* ped);
// The direction for a member sent on its way: bits 4..6 of the clock.
int32_t WalkDirection();
