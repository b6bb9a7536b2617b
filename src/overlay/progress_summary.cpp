#include "overlay/progress_summary.h"

#include <cwchar>

#include "fear/fear_state.h"
#include "host/text_print.h"
#include "settings/settings.h"

ProgressSummary progressSummary;

namespace {

constexpr uint32_t kAllGangs = kGangCount;  // a gang number NoticeOverlay::Show refuses
constexpr int kItemUnits = 48;

// Label-like forms of the gang names; each mark agrees with its gang (the
// Cartel is singular, the other three plural).
struct SummaryTexts {
    const wchar_t* names[kGangCount];
    const wchar_t* broken[kGangCount];   // the whole item of a broken gang
    const wchar_t* neutral[kGangCount];  // after the count of a gang that is not hostile
};

// In NoticeLanguage order. A no-break space keeps each gang's item on one
// line; the Russian mark is short enough for two lines of it at 800 x 600.
const SummaryTexts kSummaryTexts[] = {
    {{L"Triads", L"Leone", L"Cartel", L"Yardies"},
     {L"Triads\u00A0broken", L"Leone\u00A0broken", L"Cartel\u00A0broken", L"Yardies\u00A0broken"},
     {L"neutral", L"neutral", L"neutral", L"neutral"}},
    {{L"Триады", L"Леоне", L"Картель", L"Ярди"},
     {L"Триады\u00A0сломлены", L"Леоне\u00A0сломлены", L"Картель\u00A0сломлен", L"Ярди\u00A0сломлены"},
     {L"не враги", L"не враги", L"не враг", L"не враги"}},
    {{L"Triades", L"Leone", L"Cartel", L"Yardies"},
     {L"Triades\u00A0brisées", L"Leone\u00A0brisés", L"Cartel\u00A0brisé", L"Yardies\u00A0brisés"},
     {L"neutres", L"neutres", L"neutre", L"neutres"}},
    {{L"Triaden", L"Leones", L"Kartell", L"Yardies"},
     {L"Triaden\u00A0zerschlagen", L"Leones\u00A0zerschlagen", L"Kartell\u00A0zerschlagen", L"Yardies\u00A0zerschlagen"},
     {L"neutral", L"neutral", L"neutral", L"neutral"}},
    {{L"Triadi", L"Leone", L"Cartello", L"Yardie"},
     {L"Triadi\u00A0sconfitte", L"Leone\u00A0sconfitti", L"Cartello\u00A0sconfitto", L"Yardie\u00A0sconfitti"},
     {L"neutrali", L"neutrali", L"neutrale", L"neutrali"}},
    {{L"Tríadas", L"Leone", L"Cártel", L"Jamaicanos"},
     {L"Tríadas\u00A0derrotadas", L"Leone\u00A0derrotados", L"Cártel\u00A0derrotado", L"Jamaicanos\u00A0derrotados"},
     {L"neutrales", L"neutrales", L"neutral", L"neutrales"}},
};

struct SummaryItem {
    wchar_t text[kItemUnits];
};

SummaryItem ItemOf(const ProgressSummary& summary, const SummaryTexts& texts, int g) {
    SummaryItem item = {};
    const uint8_t bit = static_cast<uint8_t>(1u << g);
    if (summary.broken & bit)
        PrintText(item.text, kItemUnits, L"%ls", texts.broken[g]);
    else if (summary.hostile & bit)
        PrintText(item.text, kItemUnits, L"%ls\u00A0%u/%u", texts.names[g], summary.kills[g], summary.killsRequired);
    else
        PrintText(item.text, kItemUnits, L"%ls\u00A0%u/%u\u00A0(%ls)", texts.names[g], summary.kills[g],
                 summary.killsRequired, texts.neutral[g]);
    return item;
}

}  // namespace

void ShowProgressSummary(uint32_t now) {
    ProgressSummary summary = {};
    for (int g = 0; g < kGangCount; ++g) {
        summary.kills[g] = fearState.gangs[g].kills;
        if (IsGangHostile(g)) summary.hostile |= static_cast<uint8_t>(1u << g);
        if (IsGangBroken(g)) summary.broken |= static_cast<uint8_t>(1u << g);
    }
    summary.killsRequired = KillsRequired();
    progressSummary = summary;
    lineSlot = {kAllGangs, 0, NoticeOverlay::WarSummary, now, kSummaryMs};
}

bool HoldsProgressSummary(const NoticeSlot& slot) {
    return slot.gang == kAllGangs && slot.kind == NoticeOverlay::WarSummary;
}

// Two gangs a line, so that the longest language fits 800 x 600. Where a line
// is still too wide, it wraps before a "·", which then opens the next line.
void ComposeSummaryText(const ProgressSummary& summary, NoticeLanguage language, wchar_t (&text)[kNoticeTextUnits]) {
    for (wchar_t& unit : text) unit = 0;
    const uint32_t table = static_cast<uint32_t>(language);
    if (table >= sizeof kSummaryTexts / sizeof kSummaryTexts[0]) return;
    const SummaryTexts& texts = kSummaryTexts[table];
    PrintText(text, kNoticeTextUnits, L"%ls \u00B7\u00A0%ls\n%ls \u00B7\u00A0%ls", ItemOf(summary, texts, 0).text,
             ItemOf(summary, texts, 1).text, ItemOf(summary, texts, 2).text, ItemOf(summary, texts, 3).text);
    text[kNoticeTextUnits - 1] = 0;
}
