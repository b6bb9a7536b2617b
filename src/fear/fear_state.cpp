#include "fear/fear_state.h"

#include <algorithm>
#include <cstring>

#include "overlay/notice_queue.h"
#include "settings/settings.h"

using namespace host;

namespace {

constexpr GangRecord kGangConstants[kGangCount] = {
    {8, kZoneDensityTriads, 0, {0, 0, 0}, 0},
    {7, kZoneDensityLeone, 0, {0, 0, 0}, 0},
    {12, kZoneDensityCartel, 0, {0, 0, 0}, 0},
    {11, kZoneDensityYardies, 0, {0, 0, 0}, 0},
};

static_assert(kGangCount == 4 && kGangConstants[0].pedType < kPedTypeCount &&
                  kGangConstants[1].pedType < kPedTypeCount && kGangConstants[2].pedType < kPedTypeCount &&
                  kGangConstants[3].pedType < kPedTypeCount,
              "every gang's ped type indexes the broken table");

constexpr FearState InitialFearState() {
    FearState state{};
    for (int g = 0; g < kGangCount; ++g) state.gangs[g] = kGangConstants[g];
    state.lastHostileMask = 0xFFFFFFFF;
    return state;
}

constexpr FearState kInitialFearState = InitialFearState();

}  // namespace

FearState fearState = kInitialFearState;

void InitFearState() { fearState = kInitialFearState; }

const HostPoolHeader* UsablePedPool() {
    const HostPoolHeader* pool = PedPool();
    if (!pool || !pool->objects || !pool->status) return nullptr;
    if (pool->slotCount < 1 || pool->slotCount > kPedPoolCapacity) return nullptr;
    return pool;
}

int FindPedSlot(const HostPed* ped) {
    const HostPoolHeader* pool = UsablePedPool();
    if (!pool) return -1;
    const uintptr_t base = reinterpret_cast<uintptr_t>(pool->objects);
    const uintptr_t address = reinterpret_cast<uintptr_t>(ped);
    if (address < base) return -1;
    const uintptr_t distance = address - base;
    if (distance % sizeof(HostPed) != 0) return -1;
    const uintptr_t slot = distance / sizeof(HostPed);
    if (slot >= static_cast<uintptr_t>(pool->slotCount)) return -1;
    return static_cast<int>(slot);
}

PedTrack& RefreshPedTrack(int slot, uint8_t status) {
    PedTrack& track = fearState.peds[slot];
    const uint32_t stamp = static_cast<uint32_t>(status) + 1;
    if (track.stamp != stamp) {
        track = PedTrack{};
        track.stamp = stamp;
    }
    return track;
}

PedTrack* RefreshedTrackOf(const HostPed* ped) {
    const int slot = FindPedSlot(ped);
    if (slot < 0) return nullptr;
    const uint8_t status = PedPool()->status[slot];
    if (status & kPoolSlotFree) return nullptr;
    return &RefreshPedTrack(slot, status);
}

int GangOfPedType(int32_t pedType) {
    for (int g = 0; g < kGangCount; ++g) {
        if (fearState.gangs[g].pedType == pedType) return g;
    }
    return -1;
}

bool IsPedTypeHostile(int32_t pedType) {
    const HostPedType* record = PedTypeRecord(static_cast<uint32_t>(pedType));
    return record && (record->threatFlags & 1);
}

bool IsGangHostile(int gang) { return IsPedTypeHostile(fearState.gangs[gang].pedType); }

uint32_t HostilityMask() {
    uint32_t mask = 0;
    for (int g = 0; g < kGangCount; ++g) {
        if (IsGangHostile(g)) mask |= 1u << g;
    }
    return mask;
}

bool IsGangBroken(int gang) {
    const uint32_t kills = fearState.gangs[gang].kills;
    const uint32_t higherStage = std::max(Stage1Kills(), Stage2Kills());
    return IsGangHostile(gang) && kills >= higherStage && kills >= KillsRequired();
}

void ResetCounters() {
    memset(fearState.peds, 0, sizeof fearState.peds);
    for (GangRecord& gang : fearState.gangs) {
        gang.kills = 0;
        memset(gang.announced, 0, sizeof gang.announced);
        gang.milestone = 0;
    }
    fearState.noticeShown = false;
    fearState.tickStarted = false;
    NoticeOverlay::Reset();
    fearState.scaled = 0;
    fearState.zones = 0;
    fearState.lastStatusTime = 0;
    fearState.lastHostileMask = 0xFFFFFFFF;
}
