#include "fear/ped_fear.h"

#include <algorithm>

#include "settings/settings.h"

using namespace host;

namespace {

// What the pass knows about one member at its decision.
struct Member {
    HostPed* ped;
    PedTrack& track;
    uint32_t stateAtStart;  // read before anything was done to it this tick
    bool inVehicle;
    float distanceSquared;
};

struct PassContext {
    HostPed* player;
    HostVec3 playerPosition;
    uint32_t now;
};

bool IsAliveAndWell(const HostPed* ped) {
    return ped->health > 0.0f && ped->state != kStateDying && ped->state != kStateDead;
}

float DistanceSquared(const HostVec3& a, const HostVec3& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// Clears the order and, for a member on foot, sends it walking off.
void StandDown(HostPed* ped, bool wasInVehicle) {
    PedClearOrder(ped, kOrderNone);
    if (wasInVehicle || ped->inVehicle || ped->state == kStateLeavingVehicle) return;
    PedClearOrder(ped, kOrderNone);
    PedWalkAway(ped, WalkDirection());
}

void GiveOrder(HostPed* ped, int32_t order, HostEntity* target) {
    PedClearOrder(ped, kOrderNone);
    PedGiveOrder(ped, order, target);
}

HostEntity* AsEntity(HostPed* ped) { return reinterpret_cast<HostEntity*>(ped); }

bool WantsRetaliation(const Member& m, uint32_t now) {
    if (!settings.EnableRetaliation || !m.track.playerDamaged) return false;
    if (now - m.track.damageTime >= settings.retaliationMs) return false;
    return m.distanceSquared <= settings.DisengageRadius * settings.DisengageRadius;
}

bool TakesFright(const Member& m, HostPed* player) {
    if (player->inVehicle != 0) return false;
    const bool fleeing = m.track.mode == Flee;
    const float radius = fleeing ? settings.FearRadius + kFleeingAllowance : settings.FearRadius;
    if (!(m.distanceSquared <= radius * radius)) return false;
    return fleeing || PedFrightTest(m.ped, player) != 0;
}

FearMode WantedMode(const Member& m, const PassContext& pass) {
    if (WantsRetaliation(m, pass.now)) return Retaliate;
    if (m.track.mode == Dismount) {
        return (m.stateAtStart == kStateLeavingVehicle || m.inVehicle) ? Dismount : Flee;
    }
    if (TakesFright(m, pass.player)) return m.inVehicle ? Dismount : Flee;
    return Calm;
}

void WriteFearBits(const Member& m, FearMode wanted) {
    PedTrack& track = m.track;
    HostPed* ped = m.ped;
    if (track.mode == None) {
        track.savedThreatBit = (ped->threatFlags & kThreatBit) ? 1 : 0;
        track.savedEngageBit = (ped->engageFlags & kEngageBit) ? 1 : 0;
    }
    const bool retaliating = wanted == Retaliate;
    track.writtenThreatBit = retaliating ? track.savedThreatBit : 0;
    track.writtenEngageBit = retaliating ? 1 : 0;
    ped->threatFlags = (ped->threatFlags & ~kThreatBit) | (track.writtenThreatBit ? kThreatBit : 0);
    ped->engageFlags = static_cast<uint8_t>((ped->engageFlags & ~kEngageBit) | (track.writtenEngageBit ? kEngageBit : 0));
}

// Each action returns the mode it put the member in, or None when it was
// left untried (to be tried again next tick).
FearMode CalmDown(const Member& m, int32_t order, const PassContext& pass) {
    const FearMode current = m.track.mode;
    const bool attackingPlayer = (order == kOrderAttack || order == kOrderAttackFree) &&
                                 m.ped->orderTarget == AsEntity(pass.player);
    if (current == Flee || current == Retaliate || attackingPlayer) StandDown(m.ped, m.inVehicle);
    return Calm;
}

FearMode OrderOutOfVehicle(const Member& m) {
    if (!m.ped->vehicle) return None;
    GiveOrder(m.ped, kOrderLeaveVehicle, m.ped->vehicle);
    return Dismount;
}

FearMode OrderFlight(const Member& m, const PassContext& pass) {
    if (m.stateAtStart == kStateLeavingVehicle) return None;
    GiveOrder(m.ped, kOrderFlee, AsEntity(pass.player));
    return Flee;
}

FearMode OrderRetaliation(const Member& m, const PassContext& pass) {
    GiveOrder(m.ped, kOrderAttackFree, AsEntity(pass.player));
    return Retaliate;
}

FearMode Act(const Member& m, FearMode wanted, const PassContext& pass) {
    const int32_t order = m.ped->order;
    if (wanted == m.track.mode) {
        const bool fleeOrderLapsed = order != kOrderFlee || (m.ped->orderFlags & kRenewOrderBit);
        return (wanted == Flee && fleeOrderLapsed) ? OrderFlight(m, pass) : None;
    }
    switch (wanted) {
        case Calm: return CalmDown(m, order, pass);
        case Dismount: return OrderOutOfVehicle(m);
        case Flee: return OrderFlight(m, pass);
        case Retaliate: return OrderRetaliation(m, pass);
        default: return None;
    }
}

void DecideAndAct(const Member& m, const PassContext& pass) {
    const FearMode wanted = WantedMode(m, pass);
    WriteFearBits(m, wanted);
    FearMode reached = Act(m, wanted, pass);
    // A first takeover whose action waits (no vehicle pointer yet, still
    // getting out of one) still owns the bits it just wrote: keep it on record,
    // or the next tick would "save" the engine's own bits, and stand it down
    // as a calm member, or it keeps attacking the player while it waits.
    if (reached == None && m.track.mode == None) reached = CalmDown(m, m.ped->order, pass);
    if (reached == None) return;
    m.track.mode = reached;
    m.track.modeOrder = m.ped->order;
}

// True when the pedestrian reached the fear decision.
bool ManagePed(HostPed* ped, PedTrack& track, const BrokenTable& broken, bool fearGate, const PassContext& pass) {
    const uint32_t stateAtStart = ped->state;
    if (!IsAliveAndWell(ped)) {
        ReleasePed(track, ped);
        return false;
    }
    track.killCounted = false;
    const uint32_t pedType = static_cast<uint32_t>(ped->pedType);
    if (pedType >= kPedTypeCount || !fearGate || !broken.byPedType[pedType] || ped->controllable != 1) {
        ReleasePed(track, ped);
        return false;
    }
    const bool inVehicle = ped->inVehicle != 0;
    const float d2 = DistanceSquared(PositionOf(ped), pass.playerPosition);
    // Written so that a position that is not a number is out of scope.
    if (!(d2 <= kScopeRadiusSquared)) {
        ReleasePed(track, ped);
        return false;
    }
    DecideAndAct(Member{ped, track, stateAtStart, inVehicle, d2}, pass);
    return true;
}

}  // namespace

HostVec3 PositionOf(const HostPed* ped) {
    if (ped->inVehicle != 0 && ped->vehicle) return ped->vehicle->position;
    return ped->position;
}

int32_t WalkDirection() { return static_cast<int32_t>((GameClock() >> 4) & 7); }

void ReleasePed(PedTrack& track, HostPed* ped) {
    if (track.mode == None) return;
    const uint8_t threat = (ped->threatFlags & kThreatBit) != 0;
    if (threat == track.writtenThreatBit) {
        ped->threatFlags = (ped->threatFlags & ~kThreatBit) | (track.savedThreatBit ? kThreatBit : 0);
    }
    const uint8_t engage = (ped->engageFlags & kEngageBit) != 0;
    if (engage == track.writtenEngageBit) {
        ped->engageFlags = static_cast<uint8_t>((ped->engageFlags & ~kEngageBit) | (track.savedEngageBit ? kEngageBit : 0));
    }
    const bool stillOurOrder = track.mode != Calm && ped->order == track.modeOrder;
    if (ped->controllable == 1 && IsAliveAndWell(ped) && stillOurOrder) StandDown(ped, false);
    track.mode = None;
}

uint32_t RunPedestrianPass(const HostPoolHeader& pool, HostPed* player, uint32_t now, const BrokenTable& broken,
                           bool fearGate) {
    const PassContext pass{player, PositionOf(player), now};
    uint32_t managed = 0;
    const int slots = std::min(pool.slotCount, kPedPoolCapacity);
    for (int slot = 0; slot < slots; ++slot) {
        const uint8_t status = pool.status[slot];
        if (status & kPoolSlotFree) {
            fearState.peds[slot] = PedTrack{};
            continue;
        }
        PedTrack& track = RefreshPedTrack(slot, status);
        if (ManagePed(&pool.objects[slot], track, broken, fearGate, pass)) ++managed;
    }
    return managed;
}
