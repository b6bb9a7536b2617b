// The war at a glance: the four gangs' kills against KillsRequired, in the
// line slot when the player asks with the ProgressKey and once after a save
// is loaded.
#pragma once

#include <cstdint>

#include "overlay/notice_queue.h"

constexpr uint32_t kSummaryMs = 6000;
// Game time from the first frame drawn after a load to the summary.
constexpr uint32_t kSummaryAfterLoadMs = 3000;

// What the summary tells, taken when it is shown.
struct ProgressSummary {
    uint32_t kills[4];
    uint32_t killsRequired;
    uint8_t hostile;  // bit g: gang g is hostile
    uint8_t broken;   // bit g: gang g is broken
};

extern ProgressSummary progressSummary;

// Takes the summary from the counters now and puts it in the line slot.
void ShowProgressSummary(uint32_t now);
// The line slot holds the summary: no notice can (Show refuses its gang).
bool HoldsProgressSummary(const NoticeSlot& slot);
void ComposeSummaryText(const ProgressSummary& summary, NoticeLanguage language, wchar_t (&text)[kNoticeTextUnits]);

// On every frame the overlay draws: the summary for a new press of the
// ProgressKey while the game has the focus, or when it is due after a load.
void ShowSummaryWhenAsked(uint32_t now);
// A save was loaded: the summary follows once the game draws again.
void SummaryAfterLoad();
// A new game: no summary follows.
void NoSummaryAfterLoad();
