// The run-time state shared by the hook handlers, with the rules that key it
// to the host's pedestrian pool and ped-type table.
#pragma once

#include <cstdint>

#include "host/host_interface.h"

constexpr int kGangCount = 4;  // GangId: Triads, Leone family, Colombian Cartel, Uptown Yardies
constexpr uint32_t kKillCeiling = 0x7FFFFFFE;
constexpr uint32_t kMilestoneStep = 25;  // milestones are multiples of this many kills

enum FearMode : uint8_t { None = 0, Calm = 1, Dismount = 2, Flee = 3, Retaliate = 4 };

struct GangRecord {
    int32_t pedType;
    int32_t densityOffset;
    uint32_t kills;
    uint32_t announced[3];  // threshold value last announced per stage; 0 = never
    uint32_t milestone;     // highest multiple of 25 passed by the notices
};

struct PedTrack {
    uint32_t stamp;         // pool status byte + 1 at the last refresh; 0 = empty
    bool killCounted;
    bool playerDamaged;
    uint32_t damageTime;
    FearMode mode;
    uint8_t savedThreatBit;
    uint8_t savedEngageBit;
    uint8_t writtenThreatBit;
    uint8_t writtenEngageBit;
    int32_t modeOrder;
};

struct FearState {
    bool active;
    GangRecord gangs[kGangCount];
    uint32_t lastHostileMask;
    uint32_t lastReloadTime;
    bool worldReady;
    bool tickStarted;
    uint32_t lastTickTime;
    PedTrack peds[host::kPedPoolCapacity];
    uint32_t lastStatusTime;
    uint32_t zones;
    uint32_t scaled;
    bool noticeShown;
    uint32_t lastNoticeTime;
};

extern FearState fearState;

// The host's pedestrian pool when it can be used: arrays present, 1..512 slots.
const host::HostPoolHeader* UsablePedPool();
// The slot of a pedestrian object in the host's pool, or -1 when the pool is
// unusable or the pointer is not one of its objects.
int FindPedSlot(const host::HostPed* ped);
// The refreshed record of a pedestrian in an occupied slot; null otherwise.
PedTrack* RefreshedTrackOf(const host::HostPed* ped);
// The record of an occupied slot, wiped first when the slot has a new occupant.
PedTrack& RefreshPedTrack(int slot, uint8_t status);
// The GangId of a ped type, or -1 when it belongs to no tracked gang.
int GangOfPedType(int32_t pedType);
bool IsPedTypeHostile(int32_t pedType);
bool IsGangHostile(int gang);
uint32_t HostilityMask();
bool IsGangBroken(int gang);
// New game or loaded save: counters, marks, records and notices start afresh.
void ResetCounters();
// The state as the module starts: zero, with the gang constants.
void InitFearState();
