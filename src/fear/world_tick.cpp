#include "fear/world_tick.h"

#include <windows.h>

#include "fear/fear_state.h"
#include "fear/ped_fear.h"
#include "fear/progress_notices.h"
#include "host/handler_entries.h"
#include "host/hook_engine.h"
#include "host/log.h"
#include "host/text_print.h"
#include "settings/settings.h"

using namespace host;

namespace {

void NoteWorldReady() {
    if (fearState.worldReady) return;
    fearState.worldReady = true;
    LogLine("WORLD READY: player and pedestrian pool resolved.");
}

void ReloadSettingsWhenDue() {
    const uint32_t wallClock = GetTickCount();
    if (wallClock - fearState.lastReloadTime < kSettingsReloadMs) return;
    ReloadSettingsIfFileChanged();
    fearState.lastReloadTime = wallClock;
}

// Claims this call for a tick unless the last one is less than TickMs ago.
bool ClaimTick(uint32_t now) {
    if (fearState.tickStarted && now - fearState.lastTickTime < settings.TickMs) return false;
    fearState.tickStarted = true;
    fearState.lastTickTime = now;
    return true;
}

void LogHostilityChange(uint32_t mask) {
    if (mask == fearState.lastHostileMask) return;
    fearState.lastHostileMask = mask;
    char line[96] = {};
    PrintText(line, sizeof line, "HOSTILE Triads=%d Leone=%d Cartel=%d Yardies=%d", static_cast<int>(mask & 1),
              static_cast<int>((mask >> 1) & 1), static_cast<int>((mask >> 2) & 1), static_cast<int>((mask >> 3) & 1));
    LogLine(line);
}

void LogStatusWhenDue(uint32_t now, uint32_t managed) {
    if (!settings.DiagnosticLog) return;
    if (now - fearState.lastStatusTime < kStatusIntervalMs) return;
    fearState.lastStatusTime = now;
    const GangRecord* g = fearState.gangs;
    char line[224] = {};
    PrintText(line, sizeof line, "STATUS kills=%u,%u,%u,%u managed=%u zones=%u scaled=%u", g[0].kills, g[1].kills,
              g[2].kills, g[3].kills, managed, fearState.zones, fearState.scaled);
    LogLine(line);
}

bool FearGateOpen(bool playerInPlay) {
    if (!playerInPlay || !settings.Enabled || !settings.EnableFear) return false;
    return !settings.PreserveMissions || NoMissionRunning();
}

}  // namespace

bool IsPlayerInPlay(const HostPed* player) {
    const uint8_t index = PlayerIndex();
    if (index > 1) return false;
    if (PlayerRecords()[index].state != 0) return false;
    if (!(player->health > 0.0f)) return false;
    return player->state != kStateDying && player->state != kStateDead;
}

bool MissionFlagUsable() {
    const uint32_t offset = MissionFlagOffset();
    return offset != 0 && offset <= kMissionOffsetLimit && offset % 4 == 0;
}

bool NoMissionRunning() { return MissionFlagUsable() && ScriptVariable(MissionFlagOffset()) == 0; }

uint32_t JudgeGangs(BrokenTable& broken) {
    broken = BrokenTable{};
    uint32_t mask = 0;
    for (int g = 0; g < kGangCount; ++g) {
        if (!IsGangHostile(g)) continue;
        mask |= 1u << g;
        const uint32_t pedType = static_cast<uint32_t>(fearState.gangs[g].pedType);
        if (IsGangBroken(g)) broken.byPedType[pedType] = true;
    }
    return mask;
}

// Runs after the wrapped host routine (the entry stub called it with the
// host's ECX and EDX).
extern "C" void FearTick() {
    if (!fearState.active) return;
    WatchHookSites();  // also when another mod took the frame drawing over
    HostPed* player = FindPlayerPed();
    const HostPoolHeader* pool = UsablePedPool();
    if (!pool || !player) return;
    NoteWorldReady();
    ReloadSettingsWhenDue();
    const uint32_t now = GameClock();
    if (!ClaimTick(now)) return;

    BrokenTable broken;
    LogHostilityChange(JudgeGangs(broken));
    const bool playerInPlay = IsPlayerInPlay(player);
    if (playerInPlay) RunNoticeStep(now);
    const uint32_t managed = RunPedestrianPass(*pool, player, now, broken, FearGateOpen(playerInPlay));
    LogStatusWhenDue(now, managed);
}
