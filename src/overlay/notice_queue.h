// The two notice slots (banner and line) and the texts they show. The three
// NoticeOverlay operations are exported for other plugins.
#pragma once

#include <cstdint>

namespace NoticeOverlay {

enum Kind : uint32_t {
    MembersKilled = 0,
    Weakened = 1,
    LosingGround = 2,
    SurvivorsKeepDistance = 3,
    BroughtToKnees = 4,
    WarSummary = 5,  // the plugin's own: every gang's count in one line slot notice
};

void Show(unsigned int gang, unsigned int count, Kind kind, unsigned int now);
void Reset();
void Draw(unsigned int now, int language, int screenWidth, int screenHeight);

}  // namespace NoticeOverlay

struct NoticeSlot {
    uint32_t gang;
    uint32_t count;
    uint32_t kind;
    uint32_t startTime;
    uint32_t duration;  // 0: the slot is empty
};

constexpr int kNoticeTextUnits = 160;  // the longest summary, every count at its largest, fits
constexpr uint32_t kNoticeMs = 5000;
constexpr uint32_t kFollowUpNoticeMs = 10000;

extern NoticeSlot bannerSlot;
extern NoticeSlot lineSlot;

// The languages the notices are written in.
enum class NoticeLanguage : uint32_t { English, Russian, French, German, Italian, Spanish };

// The language flag of the exported Draw, which is also the game's language
// word: 0 English, every other value Russian.
NoticeLanguage LanguageOfFlag(int language);

// The slot's text in the given language; empty for an unknown kind.
void ComposeNoticeText(const NoticeSlot& slot, NoticeLanguage language, wchar_t (&text)[kNoticeTextUnits]);
// The slot's text in English (language 0) or Russian (any other value).
void ComposeNoticeText(const NoticeSlot& slot, int language, wchar_t (&text)[kNoticeTextUnits]);
