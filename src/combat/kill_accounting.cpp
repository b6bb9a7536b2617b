// Hook 1: every death the host credits to the player. A credit counts once
// per pedestrian, for members of a tracked gang that regards the player as a
// threat at that moment.
#include "fear/fear_state.h"
#include "host/handler_entries.h"
#include "host/log.h"
#include "settings/settings.h"

using namespace host;

namespace {

void AddKill(GangRecord& gang) {
    if (gang.kills <= kKillCeiling - 1) ++gang.kills;
}

}  // namespace

// The entry stub jumps to the host routine afterwards with its stack intact.
extern "C" void CountKill(HostPed* victim) {
    if (!fearState.active || !settings.Enabled) return;
    PedTrack* track = RefreshedTrackOf(victim);
    if (!track) return;
    const int gang = GangOfPedType(victim->pedType);
    if (gang < 0 || !IsPedTypeHostile(victim->pedType)) return;
    if (track->killCounted) return;
    track->killCounted = true;
    AddKill(fearState.gangs[gang]);
    if (settings.DiagnosticLog) LogCounts("KILL");
}
