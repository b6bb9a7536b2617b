// The notice queue (two slots, display times, replacement) and every text of
// both languages, checked unit for unit.
#include <gtest/gtest.h>

#include <string>

#include "overlay/notice_queue.h"

namespace {

using NoticeOverlay::Kind;

void ExpectSlot(const NoticeSlot& slot, uint32_t gang, uint32_t count, uint32_t kind, uint32_t start,
                uint32_t duration) {
    EXPECT_EQ(slot.gang, gang);
    EXPECT_EQ(slot.count, count);
    EXPECT_EQ(slot.kind, kind);
    EXPECT_EQ(slot.startTime, start);
    EXPECT_EQ(slot.duration, duration);
}

std::wstring Text(uint32_t gang, uint32_t count, uint32_t kind, int language) {
    NoticeSlot slot = {gang, count, kind, 0, 5000};
    wchar_t text[kNoticeTextUnits];
    for (wchar_t& unit : text) unit = L'#';
    ComposeNoticeText(slot, language, text);
    return text;
}

class NoticeQueue : public ::testing::Test {
protected:
    void SetUp() override {
        bannerSlot = {};
        lineSlot = {};
    }
};

TEST_F(NoticeQueue, GangAboveThreeChangesNothing) {
    NoticeOverlay::Show(2, 50, NoticeOverlay::MembersKilled, 100);
    NoticeOverlay::Show(4, 300, NoticeOverlay::BroughtToKnees, 200);
    NoticeOverlay::Show(0xFFFFFFFF, 25, NoticeOverlay::MembersKilled, 300);
    ExpectSlot(lineSlot, 2, 50, 0, 100, 5000);
    ExpectSlot(bannerSlot, 0, 0, 0, 0, 0);
}

TEST_F(NoticeQueue, BrokenGangFillsBannerAndFollowUpLine) {
    NoticeOverlay::Show(3, 300, NoticeOverlay::BroughtToKnees, 7000);
    ExpectSlot(bannerSlot, 3, 300, 4, 7000, 5000);
    ExpectSlot(lineSlot, 3, 300, 3, 7000, 10000);
}

TEST_F(NoticeQueue, LineNoticesReplaceOnlyTheLine) {
    NoticeOverlay::Show(1, 300, NoticeOverlay::BroughtToKnees, 1000);
    NoticeOverlay::Show(0, 100, NoticeOverlay::Weakened, 2000);
    ExpectSlot(bannerSlot, 1, 300, 4, 1000, 5000);
    ExpectSlot(lineSlot, 0, 100, 1, 2000, 5000);

    // Kind 3 passed in directly is an ordinary 5000 ms line.
    NoticeOverlay::Show(2, 75, NoticeOverlay::SurvivorsKeepDistance, 2500);
    ExpectSlot(lineSlot, 2, 75, 3, 2500, 5000);
    NoticeOverlay::Show(2, 200, NoticeOverlay::LosingGround, 3000);
    ExpectSlot(lineSlot, 2, 200, 2, 3000, 5000);
    ExpectSlot(bannerSlot, 1, 300, 4, 1000, 5000);

    // The same notice again starts its time again; a later banner replaces both.
    NoticeOverlay::Show(2, 200, NoticeOverlay::LosingGround, 4000);
    ExpectSlot(lineSlot, 2, 200, 2, 4000, 5000);
    NoticeOverlay::Show(0, 300, NoticeOverlay::BroughtToKnees, 4500);
    ExpectSlot(bannerSlot, 0, 300, 4, 4500, 5000);
    ExpectSlot(lineSlot, 0, 300, 3, 4500, 10000);
}

TEST_F(NoticeQueue, UnknownKindTakesTheLineWithAnEmptyText) {
    NoticeOverlay::Show(1, 50, NoticeOverlay::MembersKilled, 10);
    NoticeOverlay::Show(1, 75, static_cast<Kind>(9), 20);
    ExpectSlot(lineSlot, 1, 75, 9, 20, 5000);
    EXPECT_EQ(Text(1, 75, 9, 0), L"");
    EXPECT_EQ(Text(1, 75, 5, 1), L"");
}

TEST_F(NoticeQueue, ResetEmptiesBothSlotsKeepingTheirFields) {
    NoticeOverlay::Show(2, 300, NoticeOverlay::BroughtToKnees, 900);
    NoticeOverlay::Reset();
    ExpectSlot(bannerSlot, 2, 300, 4, 900, 0);
    ExpectSlot(lineSlot, 2, 300, 3, 900, 0);
    NoticeOverlay::Show(1, 25, NoticeOverlay::MembersKilled, 1000);
    ExpectSlot(lineSlot, 1, 25, 0, 1000, 5000);
    ExpectSlot(bannerSlot, 2, 300, 4, 900, 0);
}

TEST(NoticeTexts, EnglishNamesComeFirst) {
    const wchar_t* milestones[4] = {L"Triads members killed: 25", L"Leone family members killed: 50",
                                    L"Colombian Cartel members killed: 75", L"Uptown Yardies members killed: 4294967295"};
    const uint32_t counts[4] = {25, 50, 75, 4294967295u};
    for (uint32_t gang = 0; gang < 4; ++gang) EXPECT_EQ(Text(gang, counts[gang], 0, 0), milestones[gang]);

    EXPECT_EQ(Text(0, 100, 1, 0), L"Triads weakened. 100 killed.");
    EXPECT_EQ(Text(3, 100, 1, 0), L"Uptown Yardies weakened. 100 killed.");
    EXPECT_EQ(Text(1, 200, 2, 0), L"Leone family losing ground. 200 killed.");
    EXPECT_EQ(Text(2, 200, 2, 0), L"Colombian Cartel losing ground. 200 killed.");
    EXPECT_EQ(Text(2, 300, 3, 0), L"300 killed. The survivors keep their distance.");
    EXPECT_EQ(Text(0, 0, 3, 0), L"0 killed. The survivors keep their distance.");

    const wchar_t* banners[4] = {L"Triads brought to their knees!", L"Leone brought to their knees!",
                                 L"Cartel brought to its knees!", L"Yardies brought to their knees!"};
    for (uint32_t gang = 0; gang < 4; ++gang) EXPECT_EQ(Text(gang, 300, 4, 0), banners[gang]);
}

TEST(NoticeTexts, RussianCountComesFirstAnyNonZeroFlag) {
    const wchar_t* milestones[4] = {
        L"Убито \u2014 25 человек из Триады.", L"Убито \u2014 50 человек из семьи Леоне.",
        L"Убито \u2014 75 человек из Колумбийского картеля.", L"Убито \u2014 100 человек из банды Ярди."};
    for (uint32_t gang = 0; gang < 4; ++gang) EXPECT_EQ(Text(gang, 25 * (gang + 1), 0, 1), milestones[gang]);

    EXPECT_EQ(Text(2, 100, 1, 1), L"Убито \u2014 100 бойцов Колумбийского картеля. Их влияние сокращается!");
    EXPECT_EQ(Text(0, 100, 1, -1), L"Убито \u2014 100 бойцов Триады. Их влияние сокращается!");
    EXPECT_EQ(Text(1, 200, 2, 2), L"Убито \u2014 200 бойцов семьи Леоне. Они теряют улицы!");
    EXPECT_EQ(Text(3, 200, 2, 0x7FFFFFFF), L"Убито \u2014 200 бойцов банды Ярди. Они теряют улицы!");
    EXPECT_EQ(Text(3, 300, 3, 1), L"Убито \u2014 300 бойцов. Уцелевшие избегают тебя.");

    const wchar_t* banners[4] = {L"Триады на коленях!", L"Леоне на коленях!", L"Картель на коленях!",
                                 L"Ярди на коленях!"};
    for (uint32_t gang = 0; gang < 4; ++gang) EXPECT_EQ(Text(gang, 300, 4, 1), banners[gang]);
}

TEST(NoticeTexts, RussianDashIsEmDashBetweenSpacesAndLongestTextFits) {
    const std::wstring text = Text(2, 4294967295u, 1, 1);
    ASSERT_EQ(text.size(), 72u);
    EXPECT_EQ(text.substr(5, 3), std::wstring(L" \u2014 "));
    EXPECT_EQ(static_cast<uint16_t>(text[6]), 0x2014);
    EXPECT_EQ(text, L"Убито \u2014 4294967295 бойцов Колумбийского картеля. Их влияние сокращается!");
    for (uint32_t kind = 0; kind < 4; ++kind) {
        const std::wstring russian = Text(1, 25, kind, 1);
        EXPECT_EQ(russian.find(L" \u2014 "), 5u) << "kind " << kind;
        EXPECT_EQ(russian.find(L'-'), std::wstring::npos) << "kind " << kind;
    }
}

TEST(NoticeTexts, TheWholeBufferIsRewritten) {
    NoticeSlot slot = {0, 25, 0, 0, 5000};
    wchar_t text[kNoticeTextUnits];
    for (wchar_t& unit : text) unit = L'#';
    ComposeNoticeText(slot, 0, text);
    const size_t length = std::wstring(text).size();
    for (size_t i = length; i < kNoticeTextUnits; ++i) ASSERT_EQ(text[i], 0) << "unit " << i;
}

}  // namespace
