#include <cstring>

#include "fear/fear_state.h"
#include "fear/world_tick.h"
#include "host/handler_entries.h"
#include "host/hook_engine.h"
#include "settings/settings.h"

namespace {

constexpr int16_t kLowestDensity = 1;
constexpr int16_t kHighestDensity = 1000;

int StageOf(uint32_t kills) {
    if (kills < Stage2Kills()) return kStageWeakened;
    if (kills < KillsRequired()) return kStageLosingGround;
    return kStageBroken;
}

// Rounds half up in single precision; a gang keeps at least one.
int16_t ScaledDensity(int16_t density, float multiplier) {
    const float product = static_cast<float>(density) * multiplier + 0.5f;
    uint32_t scaled = static_cast<uint32_t>(product);
    if (scaled == 0) scaled = 1;
    return static_cast<int16_t>(scaled & 0xFFFF);
}

void ScaleGang(const GangRecord& gang, uint8_t* record) {
    int16_t density;
    memcpy(&density, record + gang.densityOffset, sizeof density);
    if (density < kLowestDensity || density > kHighestDensity) return;
    const int16_t scaled = ScaledDensity(density, settings.stageSpawnMultiplier[StageOf(gang.kills)]);
    if (scaled == density) return;
    memcpy(record + gang.densityOffset, &scaled, sizeof scaled);
    ++fearState.scaled;
}

}  // namespace

void __cdecl ScaleGangDensity(uint32_t zone, uint8_t* record) {
    Trampoline<host::ZoneInfoFn>(kHookZoneInfo)(zone, record);
    ++fearState.zones;
    if (!fearState.active || !record || !settings.Enabled) return;
    // An unusable mission-flag offset counts as a mission: nothing is touched.
    if (settings.PreserveMissions && !NoMissionRunning()) return;
    for (const GangRecord& gang : fearState.gangs) {
        if (!IsPedTypeHostile(gang.pedType) || gang.kills < Stage1Kills()) continue;
        ScaleGang(gang, record);
    }
}
