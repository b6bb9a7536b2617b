#include "overlay/notice_queue.h"

#include <windows.h>

#include <cwchar>

#include "host/text_print.h"
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
constexpr int kFormattedKinds = 4;  // kinds 0..3 have a format; 4 shows the banner text

// The gangs as each edition of the game names them. The Russian names are in
// the genitive, as the Russian formats take them.
const wchar_t* const kGangNames[kLanguages][kNoticeGangs] = {
    {L"Triads", L"Leone family", L"Colombian Cartel", L"Uptown Yardies"},
    {L"Триады", L"семьи Леоне", L"Колумбийского картеля", L"банды Ярди"},
    {L"Triades", L"Famille Leone", L"Cartel colombien", L"Yardies"},
    {L"Triaden", L"Leone-Familie", L"Kolumbianisches Kartell", L"Yardies"},
    {L"Triadi", L"Famiglia Leone", L"Cartello colombiano", L"Yardie"},
    {L"Tríadas", L"Familia Leone", L"Cártel colombiano", L"Jamaicanos"},
};

// How a language picks the grammatical number for a count.
enum class PluralRule : uint8_t {
    OneSingular,      // 1 singular, any other count plural
    UpToOneSingular,  // 0 and 1 singular
    OneFewMany,       // Russian: 1, 21, 101 one; 2-4, 22-24 few; 0, 5-20, 111-114 many
};

// A format in each grammatical number; `few` only for OneFewMany.
struct CountedFormat {
    const wchar_t* one;
    const wchar_t* few;
    const wchar_t* many;
};

struct NoticeTexts {
    const wchar_t* bannerTexts[kNoticeGangs];
    CountedFormat formats[kFormattedKinds];
    PluralRule rule;
    bool countFirst;  // the count comes before the name in this language's formats
};

// English needs no forms: the count stands apart as a figure ("killed: 1",
// "1 killed.").
const NoticeTexts kTexts[kLanguages] = {
    {
        {L"Triads brought to their knees!", L"Leone brought to their knees!",
         L"Cartel brought to its knees!", L"Yardies brought to their knees!"},
        {{L"%ls members killed: %u", nullptr, L"%ls members killed: %u"},
         {L"%ls weakened. %u killed.", nullptr, L"%ls weakened. %u killed."},
         {L"%ls losing ground. %u killed.", nullptr, L"%ls losing ground. %u killed."},
         {L"%u killed. The survivors keep their distance.", nullptr,
          L"%u killed. The survivors keep their distance."}},
        PluralRule::OneSingular,
        false,
    },
    {
        {L"Триады на коленях!", L"Леоне на коленях!", L"Картель на коленях!", L"Ярди на коленях!"},
        {{L"Убит \u2014 %u человек из %ls.", L"Убито \u2014 %u человека из %ls.", L"Убито \u2014 %u человек из %ls."},
         {L"Убит \u2014 %u боец %ls. Их влияние сокращается!", L"Убито \u2014 %u бойца %ls. Их влияние сокращается!",
          L"Убито \u2014 %u бойцов %ls. Их влияние сокращается!"},
         {L"Убит \u2014 %u боец %ls. Они теряют улицы!", L"Убито \u2014 %u бойца %ls. Они теряют улицы!",
          L"Убито \u2014 %u бойцов %ls. Они теряют улицы!"},
         {L"Убит \u2014 %u боец. Уцелевшие избегают тебя.", L"Убито \u2014 %u бойца. Уцелевшие избегают тебя.",
          L"Убито \u2014 %u бойцов. Уцелевшие избегают тебя."}},
        PluralRule::OneFewMany,
        true,
    },
    // French sets a no-break space before ":" and "!".
    {
        {L"Les Triades à genoux\u00A0!", L"Les Leone à genoux\u00A0!", L"Le Cartel à genoux\u00A0!",
         L"Les Yardies à genoux\u00A0!"},
        {{L"%ls\u00A0: %u membre tué", nullptr, L"%ls\u00A0: %u membres tués"},
         {L"%ls\u00A0: influence en baisse. %u tué.", nullptr, L"%ls\u00A0: influence en baisse. %u tués."},
         {L"%ls\u00A0: en recul. %u tué.", nullptr, L"%ls\u00A0: en recul. %u tués."},
         {L"%u tué. Les survivants gardent leurs distances.", nullptr,
          L"%u tués. Les survivants gardent leurs distances."}},
        PluralRule::UpToOneSingular,
        false,
    },
    // "in die Knie gezwungen" kept together, so that a banner too wide for one
    // line breaks after the gang's name.
    {
        {L"Die Triaden in\u00A0die\u00A0Knie\u00A0gezwungen!", L"Die Leones in\u00A0die\u00A0Knie\u00A0gezwungen!",
         L"Das Kartell in\u00A0die\u00A0Knie\u00A0gezwungen!", L"Die Yardies in\u00A0die\u00A0Knie\u00A0gezwungen!"},
        {{L"%ls: %u Mitglied getötet", nullptr, L"%ls: %u Mitglieder getötet"},
         {L"%ls geschwächt. %u getötet.", nullptr, L"%ls geschwächt. %u getötet."},
         {L"%ls auf dem Rückzug. %u getötet.", nullptr, L"%ls auf dem Rückzug. %u getötet."},
         {L"%u getötet. Die Überlebenden halten Abstand.", nullptr, L"%u getötet. Die Überlebenden halten Abstand."}},
        PluralRule::OneSingular,
        false,
    },
    {
        {L"Le Triadi in ginocchio!", L"I Leone in ginocchio!", L"Il Cartello in ginocchio!",
         L"Gli Yardie in ginocchio!"},
        {{L"%ls: %u membro ucciso", nullptr, L"%ls: %u membri uccisi"},
         {L"%ls: influenza in calo. %u ucciso.", nullptr, L"%ls: influenza in calo. %u uccisi."},
         {L"%ls: in ritirata. %u ucciso.", nullptr, L"%ls: in ritirata. %u uccisi."},
         {L"%u ucciso. I superstiti mantengono le distanze.", nullptr,
          L"%u uccisi. I superstiti mantengono le distanze."}},
        PluralRule::OneSingular,
        false,
    },
    {
        {L"¡Las Tríadas de rodillas!", L"¡Los Leone de rodillas!", L"¡El Cártel de rodillas!",
         L"¡Los jamaicanos de rodillas!"},
        {{L"%ls: %u miembro abatido", nullptr, L"%ls: %u miembros abatidos"},
         {L"%ls: influencia en declive. %u abatido.", nullptr, L"%ls: influencia en declive. %u abatidos."},
         {L"%ls: en retirada. %u abatido.", nullptr, L"%ls: en retirada. %u abatidos."},
         {L"%u abatido. Los supervivientes guardan las distancias.", nullptr,
          L"%u abatidos. Los supervivientes guardan las distancias."}},
        PluralRule::OneSingular,
        false,
    },
};

const wchar_t* FormatForCount(const CountedFormat& format, PluralRule rule, unsigned int count) {
    switch (rule) {
        case PluralRule::OneSingular: return count == 1 ? format.one : format.many;
        case PluralRule::UpToOneSingular: return count <= 1 ? format.one : format.many;
        case PluralRule::OneFewMany: break;
    }
    const unsigned int lastTwo = count % 100;
    const unsigned int last = count % 10;
    if (last == 1 && lastTwo != 11) return format.one;
    if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) return format.few;
    return format.many;
}

}  // namespace

NoticeLanguage LanguageOfFlag(int language) {
    return language == 0 ? NoticeLanguage::English : NoticeLanguage::Russian;
}

NoticeLanguage LanguageOfGameWord(uint32_t word, bool russianWindows) {
    if (word == 0) return NoticeLanguage::English;
    if (word > 4 || russianWindows) return NoticeLanguage::Russian;
    static const NoticeLanguage kEditions[4] = {NoticeLanguage::French, NoticeLanguage::German,
                                                NoticeLanguage::Italian, NoticeLanguage::Spanish};
    return kEditions[word - 1];
}

bool russianWindows;

namespace {

bool ReadsRussian(LANGID language) {
    switch (PRIMARYLANGID(language)) {
        case LANG_RUSSIAN:
        case LANG_UKRAINIAN:
        case LANG_BELARUSIAN: return true;
        default: return false;
    }
}

}  // namespace

void NoteWindowsLanguage() {
    russianWindows = ReadsRussian(GetUserDefaultUILanguage()) || ReadsRussian(LANGIDFROMLCID(GetUserDefaultLCID()));
}

const wchar_t* NoticeGangName(NoticeLanguage language, uint32_t gang) {
    const uint32_t table = static_cast<uint32_t>(language);
    if (gang >= kNoticeGangs || table >= kLanguages) return nullptr;
    return kGangNames[table][gang];
}

void ComposeNoticeText(const NoticeSlot& slot, int language, wchar_t (&text)[kNoticeTextUnits]) {
    ComposeNoticeText(slot, LanguageOfFlag(language), text);
}

void ComposeNoticeText(const NoticeSlot& slot, NoticeLanguage language, wchar_t (&text)[kNoticeTextUnits]) {
    if (HoldsProgressSummary(slot)) return ComposeSummaryText(progressSummary, language, text);
    for (wchar_t& unit : text) unit = 0;
    const wchar_t* name = NoticeGangName(language, slot.gang);
    if (!name) return;
    const NoticeTexts& texts = kTexts[static_cast<uint32_t>(language)];
    const unsigned int count = slot.count;

    if (slot.kind == NoticeOverlay::BroughtToKnees) {
        PrintText(text, kNoticeTextUnits, L"%ls", texts.bannerTexts[slot.gang]);
    } else if (slot.kind < kFormattedKinds) {
        const wchar_t* format = FormatForCount(texts.formats[slot.kind], texts.rule, count);
        if (slot.kind == NoticeOverlay::SurvivorsKeepDistance)
            PrintText(text, kNoticeTextUnits, format, count);
        else if (texts.countFirst)
            PrintText(text, kNoticeTextUnits, format, count, name);
        else
            PrintText(text, kNoticeTextUnits, format, name, count);
    }
    text[kNoticeTextUnits - 1] = 0;
}
