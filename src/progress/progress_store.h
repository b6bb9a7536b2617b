// The per-save progress file: one INI section per saved game, named by the
// save file's fingerprint, holding the four gangs' counters and notice marks.
// SaveProgress and LoadProgress, the save and load hook handlers, are
// declared in host/handler_entries.h.
#pragma once

#include <cstdint>

#include "fear/fear_state.h"

constexpr int kStateChars = 256;
// The longest "StateV2" is twenty numbers of ten digits, each with its comma.
static_assert(kStateChars > kGangCount * 5 * 11, "every StateV2 fits its buffer");

// What one gang's record keeps across a save.
struct GangProgress {
    uint32_t kills;
    uint32_t milestone;
    uint32_t announced[3];
};

// The "StateV2" value of the current counters: twenty numbers, five per gang
// (kills, milestone, the three announced marks), separated by single commas.
void FormatStateV2(wchar_t (&text)[kStateChars]);
// Strict reading of a "StateV2" value; `progress` is written only on success.
bool ParseStateV2(const wchar_t* text, GangProgress (&progress)[kGangCount]);
// Reading of the older "Counts" value: four kill counts; `kills` is written
// only on success.
bool ParseCounts(const wchar_t* text, uint32_t (&kills)[kGangCount]);
// Milestone and announced marks of a bare kill count under the current
// thresholds, so that progress made before the save is not announced again.
GangProgress ProgressFromKills(uint32_t kills);
