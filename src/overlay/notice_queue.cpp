#include "overlay/notice_queue.h"

#include <cwchar>

#include "overlay/progress_summary.h"

NoticeSlot bannerSlot;
NoticeSlot lineSlot;

namespace NoticeOverlay {

void Show(unsigned int gang, unsigned int count, Kind kind, unsigned int now) {
    if (gang > 3) return;
    if (kind == BroughtToKnees) {
        bannerSlot = {gang, count, BroughtToKnees, now, kNoticeMs};
        lineSlot = {gang, count, SurvivorsKeepDistance, now, kFollowUpNoticeMs};
        return;
    }
    lineSlot = {gang, count, kind, now, kNoticeMs};
}

// The other fields stay: the renderer retires the textures on its next frame.
void Reset() {
    bannerSlot.duration = 0;
    lineSlot.duration = 0;
}

}  // namespace NoticeOverlay

namespace {

constexpr int kLanguages = 6;  // in the order of NoticeLanguage
constexpr int kGangs = 4;
constexpr int kFormattedKinds = 4;  // kinds 0..3 have a format; 4 shows the banner text

struct NoticeTexts {
    const wchar_t* gangNames[kGangs];
    const wchar_t* bannerTexts[kGangs];
    const wchar_t* formats[kFormattedKinds];
    bool countFirst;  // the count comes before the name in this language's formats
};

const NoticeTexts kTexts[kLanguages] = {
    {
        {L"Triads", L"Leone family", L"Colombian Cartel", L"Uptown Yardies"},
        {L"Triads brought to their knees!", L"Leone brought to their knees!",
         L"Cartel brought to its knees!", L"Yardies brought to their knees!"},
        {L"%ls members killed: %u", L"%ls weakened. %u killed.", L"%ls losing ground. %u killed.",
         L"%u killed. The survivors keep their distance."},
        false,
    },
    {
        {L"Триады", L"семьи Леоне", L"Колумбийского картеля", L"банды Ярди"},
        {L"Триады на коленях!", L"Леоне на коленях!", L"Картель на коленях!", L"Ярди на коленях!"},
        {L"Убито \u2014 %u человек из %ls.", L"Убито \u2014 %u бойцов %ls. Их влияние сокращается!",
         L"Убито \u2014 %u бойцов %ls. Они теряют улицы!", L"Убито \u2014 %u бойцов. Уцелевшие избегают тебя."},
        true,
    },
    // French sets a no-break space before ":" and "!".
    {
        {L"Triades", L"Famille Leone", L"Cartel colombien", L"Yardies d'Uptown"},
        {L"Les Triades à genoux\u00A0!", L"Les Leone à genoux\u00A0!", L"Le Cartel à genoux\u00A0!",
         L"Les Yardies à genoux\u00A0!"},
        {L"%ls\u00A0: %u membres tués", L"%ls\u00A0: influence en baisse. %u tués.", L"%ls\u00A0: en recul. %u tués.",
         L"%u tués. Les survivants gardent leurs distances."},
        false,
    },
    // "die Knie" kept together, so that a banner too wide for one line breaks before "gezwungen".
    {
        {L"Triaden", L"Leone-Familie", L"Kolumbianisches Kartell", L"Uptown Yardies"},
        {L"Triaden in die\u00A0Knie gezwungen!", L"Leone in die\u00A0Knie gezwungen!",
         L"Kartell in die\u00A0Knie gezwungen!", L"Yardies in die\u00A0Knie gezwungen!"},
        {L"%ls: %u Mitglieder getötet", L"%ls geschwächt. %u getötet.", L"%ls auf dem Rückzug. %u getötet.",
         L"%u getötet. Die Überlebenden halten Abstand."},
        false,
    },
    {
        {L"Triadi", L"Famiglia Leone", L"Cartello colombiano", L"Yardies di Uptown"},
        {L"Triadi in ginocchio!", L"Leone in ginocchio!", L"Cartello in ginocchio!", L"Yardies in ginocchio!"},
        {L"%ls: %u membri uccisi", L"%ls: influenza in calo. %u uccisi.", L"%ls: in ritirata. %u uccisi.",
         L"%u uccisi. I superstiti mantengono le distanze."},
        false,
    },
    {
        {L"Tríadas", L"Familia Leone", L"Cártel colombiano", L"Yardies de Uptown"},
        {L"¡Tríadas de rodillas!", L"¡Leone de rodillas!", L"¡Cártel de rodillas!", L"¡Yardies de rodillas!"},
        {L"%ls: %u miembros abatidos", L"%ls: influencia en declive. %u abatidos.", L"%ls: en retirada. %u abatidos.",
         L"%u abatidos. Los supervivientes guardan las distancias."},
        false,
    },
};

}  // namespace

NoticeLanguage LanguageOfFlag(int language) {
    return language == 0 ? NoticeLanguage::English : NoticeLanguage::Russian;
}

void ComposeNoticeText(const NoticeSlot& slot, int language, wchar_t (&text)[kNoticeTextUnits]) {
    ComposeNoticeText(slot, LanguageOfFlag(language), text);
}

void ComposeNoticeText(const NoticeSlot& slot, NoticeLanguage language, wchar_t (&text)[kNoticeTextUnits]) {
    if (HoldsProgressSummary(slot)) return ComposeSummaryText(progressSummary, language, text);
    for (wchar_t& unit : text) unit = 0;
    const uint32_t table = static_cast<uint32_t>(language);
    if (slot.gang >= kGangs || table >= kLanguages) return;
    const NoticeTexts& texts = kTexts[table];
    const wchar_t* name = texts.gangNames[slot.gang];
    const unsigned int count = slot.count;

    if (slot.kind == NoticeOverlay::BroughtToKnees) {
        swprintf(text, kNoticeTextUnits, L"%ls", texts.bannerTexts[slot.gang]);
    } else if (slot.kind == NoticeOverlay::SurvivorsKeepDistance) {
        swprintf(text, kNoticeTextUnits, texts.formats[slot.kind], count);
    } else if (slot.kind < kFormattedKinds) {
        if (texts.countFirst)
            swprintf(text, kNoticeTextUnits, texts.formats[slot.kind], count, name);
        else
            swprintf(text, kNoticeTextUnits, texts.formats[slot.kind], name, count);
    }
    text[kNoticeTextUnits - 1] = 0;
}
