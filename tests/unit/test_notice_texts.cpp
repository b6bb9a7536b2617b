// The notice queue (two slots, display times, replacement) and every text of
// every language, checked unit for unit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "overlay/notice_queue.h"
#include "fear/fear_state.h"
#include "overlay/progress_summary.h"

namespace {

using NoticeOverlay::Kind;

std::vector<uint32_t> Fields(const NoticeSlot& s) { return {s.gang, s.count, s.kind, s.startTime, s.duration}; }

// The text of a notice, with a check that the whole buffer behind it was zeroed.
template <typename Language>
std::wstring Text(uint32_t gang, uint32_t count, uint32_t kind, Language language) {
    wchar_t text[kNoticeTextUnits];
    for (wchar_t& unit : text) unit = L'#';
    ComposeNoticeText({gang, count, kind, 0, 5000}, language, text);
    for (size_t i = std::wstring(text).size(); i < kNoticeTextUnits; ++i)
        EXPECT_EQ(text[i], 0) << "unit " << i << " after the text";
    return text;
}

TEST(NoticeQueue, ShowFillsReplacesAndResetEmptiesTheSlots) {
    constexpr uint32_t kReset = 99;  // a step that calls Reset instead of Show
    struct Step {
        const char* what;
        uint32_t gang, count, kind, now;
        NoticeSlot banner, line;
    };
    const Step steps[] = {
        {"line", 2, 50, 0, 100, {0, 0, 0, 0, 0}, {2, 50, 0, 100, 5000}},
        {"gang 4 ignored", 4, 300, 4, 200, {0, 0, 0, 0, 0}, {2, 50, 0, 100, 5000}},
        {"gang 0xFFFFFFFF ignored", 0xFFFFFFFF, 25, 0, 300, {0, 0, 0, 0, 0}, {2, 50, 0, 100, 5000}},
        {"banner and follow-up", 1, 300, 4, 1000, {1, 300, 4, 1000, 5000}, {1, 300, 3, 1000, 10000}},
        {"line under a banner", 0, 100, 1, 2000, {1, 300, 4, 1000, 5000}, {0, 100, 1, 2000, 5000}},
        {"kind 3 passed in", 2, 75, 3, 2500, {1, 300, 4, 1000, 5000}, {2, 75, 3, 2500, 5000}},
        {"losing ground", 2, 200, 2, 3000, {1, 300, 4, 1000, 5000}, {2, 200, 2, 3000, 5000}},
        {"same again restarts", 2, 200, 2, 4000, {1, 300, 4, 1000, 5000}, {2, 200, 2, 4000, 5000}},
        {"banner replaces both", 3, 300, 4, 4500, {3, 300, 4, 4500, 5000}, {3, 300, 3, 4500, 10000}},
        {"reset keeps the fields", 0, 0, kReset, 0, {3, 300, 4, 4500, 0}, {3, 300, 3, 4500, 0}},
        {"show after reset", 1, 25, 0, 5000, {3, 300, 4, 4500, 0}, {1, 25, 0, 5000, 5000}},
        {"unknown kind takes the line", 1, 75, 9, 5100, {3, 300, 4, 4500, 0}, {1, 75, 9, 5100, 5000}},
    };
    bannerSlot = {};
    lineSlot = {};
    for (const Step& s : steps) {
        if (s.kind == kReset)
            NoticeOverlay::Reset();
        else
            NoticeOverlay::Show(s.gang, s.count, static_cast<Kind>(s.kind), s.now);
        EXPECT_EQ(Fields(bannerSlot), Fields(s.banner)) << s.what;
        EXPECT_EQ(Fields(lineSlot), Fields(s.line)) << s.what;
    }
}

TEST(NoticeTexts, EveryTextInBothLanguagesWithItsArgumentOrder) {
    struct Case {
        uint32_t gang, count, kind;
        int language;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, 25, 0, 0, L"Triads members killed: 25"},
        {1, 50, 0, 0, L"Leone family members killed: 50"},
        {2, 75, 0, 0, L"Colombian Cartel members killed: 75"},
        {3, 4294967295u, 0, 0, L"Uptown Yardies members killed: 4294967295"},
        {0, 100, 1, 0, L"Triads weakened. 100 killed."},
        {3, 100, 1, 0, L"Uptown Yardies weakened. 100 killed."},
        {1, 200, 2, 0, L"Leone family losing ground. 200 killed."},
        {2, 200, 2, 0, L"Colombian Cartel losing ground. 200 killed."},
        {2, 300, 3, 0, L"300 killed. The survivors keep their distance."},
        {0, 0, 3, 0, L"0 killed. The survivors keep their distance."},
        {0, 300, 4, 0, L"Triads brought to their knees!"},
        {1, 300, 4, 0, L"Leone brought to their knees!"},
        {2, 300, 4, 0, L"Cartel brought to its knees!"},
        {3, 300, 4, 0, L"Yardies brought to their knees!"},
        {0, 25, 0, 1, L"Убито \u2014 25 человек из Триады."},
        {1, 50, 0, 1, L"Убито \u2014 50 человек из семьи Леоне."},
        {2, 75, 0, 1, L"Убито \u2014 75 человек из Колумбийского картеля."},
        {3, 100, 0, 1, L"Убито \u2014 100 человек из банды Ярди."},
        {2, 100, 1, 1, L"Убито \u2014 100 бойцов Колумбийского картеля. Их влияние сокращается!"},
        {0, 100, 1, -1, L"Убито \u2014 100 бойцов Триады. Их влияние сокращается!"},
        {1, 200, 2, 2, L"Убито \u2014 200 бойцов семьи Леоне. Они теряют улицы!"},
        {3, 200, 2, 0x7FFFFFFF, L"Убито \u2014 200 бойцов банды Ярди. Они теряют улицы!"},
        {3, 300, 3, 1, L"Убито \u2014 300 бойцов. Уцелевшие избегают тебя."},
        {0, 300, 4, 1, L"Триады на коленях!"},
        {1, 300, 4, 1, L"Леоне на коленях!"},
        {2, 300, 4, 1, L"Картель на коленях!"},
        {3, 300, 4, 1, L"Ярди на коленях!"},
        // The longest text fits whole.
        {2, 4294967295u, 1, 1, L"Убито \u2014 4294967295 бойцов Колумбийского картеля. Их влияние сокращается!"},
        {1, 75, 9, 0, L""},
        {1, 75, 5, 1, L""},
        {4, 75, 0, 0, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.gang, c.count, c.kind, c.language), c.text)
            << "gang " << c.gang << " kind " << c.kind << " language " << c.language;

    // Spelled out in code units, independent of how the source file is read.
    EXPECT_EQ(Text(3, 300, 3, 1).substr(0, 8), L"\u0423\u0431\u0438\u0442\u043E \u2014 ");
    EXPECT_EQ(Text(2, 4294967295u, 1, 1).size(), 72u);
}

// The languages the Language setting adds: every kind, each gang's name and
// banner, and the argument order.
TEST(NoticeTexts, FrenchGermanItalianAndSpanish) {
    using L = NoticeLanguage;
    struct Case {
        L language;
        uint32_t gang, count, kind;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L::French, 0, 25, 0, L"Triades\u00A0: 25 membres tués"},
        {L::French, 1, 100, 1, L"Famille Leone\u00A0: influence en baisse. 100 tués."},
        {L::French, 2, 200, 2, L"Cartel colombien\u00A0: en recul. 200 tués."},
        {L::French, 3, 300, 3, L"300 tués. Les survivants gardent leurs distances."},
        {L::French, 3, 300, 0, L"Yardies\u00A0: 300 membres tués"},
        {L::French, 0, 300, 4, L"Les Triades à genoux\u00A0!"},
        {L::French, 1, 300, 4, L"Les Leone à genoux\u00A0!"},
        {L::French, 2, 300, 4, L"Le Cartel à genoux\u00A0!"},
        {L::French, 3, 300, 4, L"Les Yardies à genoux\u00A0!"},
        {L::German, 1, 25, 0, L"Leone-Familie: 25 Mitglieder getötet"},
        {L::German, 2, 100, 1, L"Kolumbianisches Kartell geschwächt. 100 getötet."},
        {L::German, 3, 200, 2, L"Yardies auf dem Rückzug. 200 getötet."},
        {L::German, 0, 300, 3, L"300 getötet. Die Überlebenden halten Abstand."},
        {L::German, 0, 50, 0, L"Triaden: 50 Mitglieder getötet"},
        {L::German, 0, 300, 4, L"Die Triaden in\u00A0die\u00A0Knie\u00A0gezwungen!"},
        {L::German, 1, 300, 4, L"Die Leones in\u00A0die\u00A0Knie\u00A0gezwungen!"},
        {L::German, 2, 300, 4, L"Das Kartell in\u00A0die\u00A0Knie\u00A0gezwungen!"},
        {L::German, 3, 300, 4, L"Die Yardies in\u00A0die\u00A0Knie\u00A0gezwungen!"},
        {L::Italian, 2, 25, 0, L"Cartello colombiano: 25 membri uccisi"},
        {L::Italian, 3, 100, 1, L"Yardie: influenza in calo. 100 uccisi."},
        {L::Italian, 0, 200, 2, L"Triadi: in ritirata. 200 uccisi."},
        {L::Italian, 1, 300, 3, L"300 uccisi. I superstiti mantengono le distanze."},
        {L::Italian, 1, 75, 0, L"Famiglia Leone: 75 membri uccisi"},
        {L::Italian, 0, 300, 4, L"Le Triadi in ginocchio!"},
        {L::Italian, 1, 300, 4, L"I Leone in ginocchio!"},
        {L::Italian, 2, 300, 4, L"Il Cartello in ginocchio!"},
        {L::Italian, 3, 300, 4, L"Gli Yardie in ginocchio!"},
        {L::Spanish, 3, 25, 0, L"Jamaicanos: 25 miembros abatidos"},
        {L::Spanish, 0, 100, 1, L"Tríadas: influencia en declive. 100 abatidos."},
        {L::Spanish, 1, 200, 2, L"Familia Leone: en retirada. 200 abatidos."},
        {L::Spanish, 2, 300, 3, L"300 abatidos. Los supervivientes guardan las distancias."},
        {L::Spanish, 2, 125, 0, L"Cártel colombiano: 125 miembros abatidos"},
        {L::Spanish, 0, 300, 4, L"¡Las Tríadas de rodillas!"},
        {L::Spanish, 1, 300, 4, L"¡Los Leone de rodillas!"},
        {L::Spanish, 2, 300, 4, L"¡El Cártel de rodillas!"},
        {L::Spanish, 3, 300, 4, L"¡Los jamaicanos de rodillas!"},
        {L::Spanish, 3, 300, 7, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.gang, c.count, c.kind, c.language), c.text)
            << "gang " << c.gang << " kind " << c.kind << " language " << static_cast<int>(c.language);
    EXPECT_EQ(Text(1, 50, 0, L::English), Text(1, 50, 0, 0));
    EXPECT_EQ(Text(1, 50, 0, L::Russian), Text(1, 50, 0, 3));
    EXPECT_EQ(Text(1, 50, 0, static_cast<L>(6)), L"");
}

// '_' stands for a no-break space, " | " for " ·" and a no-break space.
std::wstring Summary(uint32_t hostile, uint32_t broken, NoticeLanguage language) {
    progressSummary = {{45, 300, 0, 12}, 300, static_cast<uint8_t>(hostile), static_cast<uint8_t>(broken)};
    wchar_t text[kNoticeTextUnits];
    ComposeNoticeText({4, 0, NoticeOverlay::WarSummary, 0, kSummaryMs}, language, text);  // gang 4: Show refuses it
    return text;
}

std::wstring Marked(std::wstring text) {
    for (size_t at; (at = text.find(L" | ")) != std::wstring::npos;) text.replace(at, 3, L" \u00B7_");
    std::replace(text.begin(), text.end(), L'_', L'\u00A0');
    return text;
}

// Every name and mark of every language, each mark agreeing with its gang.
TEST(NoticeTexts, SummaryNamesEachGangWithItsCountOrMark) {
    using L = NoticeLanguage;
    const struct {
        uint32_t hostile, broken;
        L language;
        const wchar_t* text;
    } cases[] = {
        {0xB, 0x2, L::English, L"Triads_45/300 | Leone_broken\nCartel_0/300_(neutral) | Yardies_12/300"},
        {0x5, 0x5, L::English, L"Triads_broken | Leone_300/300_(neutral)\nCartel_broken | Yardies_12/300_(neutral)"},
        {0xE, 0x8, L::English, L"Triads_45/300_(neutral) | Leone_300/300\nCartel_0/300 | Yardies_broken"},
        {0xB, 0x2, L::Russian, L"Триады_45/300 | Леоне_сломлены\nКартель_0/300_(не враг) | Ярди_12/300"},
        {0x5, 0x5, L::Russian, L"Триады_сломлены | Леоне_300/300_(не враги)\nКартель_сломлен | Ярди_12/300_(не враги)"},
        {0xE, 0x8, L::Russian, L"Триады_45/300_(не враги) | Леоне_300/300\nКартель_0/300 | Ярди_сломлены"},
        {0xB, 0x2, L::French, L"Triades_45/300 | Leone_brisés\nCartel_0/300_(neutre) | Yardies_12/300"},
        {0x5, 0x5, L::French, L"Triades_brisées | Leone_300/300_(neutres)\nCartel_brisé | Yardies_12/300_(neutres)"},
        {0xE, 0x8, L::French, L"Triades_45/300_(neutres) | Leone_300/300\nCartel_0/300 | Yardies_brisés"},
        {0xB, 0x2, L::German, L"Triaden_45/300 | Leones_zerschlagen\nKartell_0/300_(neutral) | Yardies_12/300"},
        {0x5, 0x5, L::German, L"Triaden_zerschlagen | Leones_300/300_(neutral)\nKartell_zerschlagen | Yardies_12/300_(neutral)"},
        {0xE, 0x8, L::German, L"Triaden_45/300_(neutral) | Leones_300/300\nKartell_0/300 | Yardies_zerschlagen"},
        {0xB, 0x2, L::Italian, L"Triadi_45/300 | Leone_sconfitti\nCartello_0/300_(neutrale) | Yardie_12/300"},
        {0x5, 0x5, L::Italian, L"Triadi_sconfitte | Leone_300/300_(neutrali)\nCartello_sconfitto | Yardie_12/300_(neutrali)"},
        {0xE, 0x8, L::Italian, L"Triadi_45/300_(neutrali) | Leone_300/300\nCartello_0/300 | Yardie_sconfitti"},
        {0xB, 0x2, L::Spanish, L"Tríadas_45/300 | Leone_derrotados\nCártel_0/300_(neutral) | Jamaicanos_12/300"},
        {0x5, 0x5, L::Spanish, L"Tríadas_derrotadas | Leone_300/300_(neutrales)\nCártel_derrotado | Jamaicanos_12/300_(neutrales)"},
        {0xE, 0x8, L::Spanish, L"Tríadas_45/300_(neutrales) | Leone_300/300\nCártel_0/300 | Jamaicanos_derrotados"},
        {0xF, 0x0, static_cast<L>(6), L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Summary(c.hostile, c.broken, c.language), Marked(c.text)) << static_cast<int>(c.language);
    // A notice of the summary's kind that another plugin shows names one gang: it stays empty.
    EXPECT_EQ(Text(1, 50, NoticeOverlay::WarSummary, NoticeLanguage::English), L"");
}

// No text of any language comes near the buffer: the longest, with a
// ten-digit count, is still the Russian kind 1 of the Colombian Cartel.
TEST(NoticeTexts, TheLongestTextOfAnyLanguageFitsWhole) {
    size_t longest = 0;
    for (uint32_t language = 0; language < 6; ++language)
        for (uint32_t gang = 0; gang < 4; ++gang)
            for (uint32_t kind = 0; kind <= 4; ++kind)
                longest = std::max(longest, Text(gang, 4294967295u, kind, static_cast<NoticeLanguage>(language)).size());
    EXPECT_EQ(longest, 72u);
    // The summary with every gang not hostile and every count at its largest.
    for (uint32_t language = 0; language < 6; ++language) {
        progressSummary = {{kKillCeiling, kKillCeiling, kKillCeiling, kKillCeiling}, 1000000, 0, 0};
        wchar_t text[kNoticeTextUnits];
        ComposeSummaryText(progressSummary, static_cast<NoticeLanguage>(language), text);
        longest = std::max(longest, std::wstring(text).size());
        EXPECT_EQ(std::wstring(text).back(), L')') << language;
    }
    EXPECT_EQ(longest, 157u);
    EXPECT_LT(longest, static_cast<size_t>(kNoticeTextUnits - 1));
}

}  // namespace
