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
constexpr uint32_t kNoticeGangs = 4;

// The language flag of the exported Draw: 0 English, every other value Russian.
NoticeLanguage LanguageOfFlag(int language);

// The language for the game's language word: 0 English; 1 to 4 the game's
// French, German, Italian and Spanish editions, unless Windows is set up for
// Russian, Ukrainian or Belarusian, as Russian translations of the game are
// played (they take one of those words); any other word Russian.
NoticeLanguage LanguageOfGameWord(uint32_t word, bool russianWindows);

// Whether the user's UI language or locale is Russian, Ukrainian or
// Belarusian; noted once at attach, so that no frame pays for asking.
extern bool russianWindows;
void NoteWindowsLanguage();

// The gang's name in the language, as the notices use it; null for an unknown
// gang or language.
const wchar_t* NoticeGangName(NoticeLanguage language, uint32_t gang);

// The slot's text in the given language; empty for an unknown kind.
void ComposeNoticeText(const NoticeSlot& slot, NoticeLanguage language, wchar_t (&text)[kNoticeTextUnits]);
// The slot's text in English (language 0) or Russian (any other value).
void ComposeNoticeText(const NoticeSlot& slot, int language, wchar_t (&text)[kNoticeTextUnits]);
