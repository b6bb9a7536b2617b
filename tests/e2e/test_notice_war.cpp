// Progress notices of the shipped plugin as the player earns them: kills
// credited through the hooked routine, notices chosen by the world tick and
// drawn by the render hook. A notice on the screen is identified by showing
// the expected one through the exported NoticeOverlay::Show: the same text
// keeps the texture the plugin made, any other text makes a new one.
#include <gtest/gtest.h>

#include <vector>

#include "sim.h"
#include "support/plugin_session.h"
#include "world.h"
#include "world_peds.h"
#include "world_render.h"
#include "world_saves.h"

namespace {

using ShowFn = void (*)(unsigned int gang, unsigned int count, uint32_t kind, unsigned int now);
constexpr uint32_t kBannerColour = 0xFFEFBD72, kLineColour = 0xFFF4F4F4;
constexpr int32_t kTriads = 8, kLeone = 7;

struct Notice {
    uint32_t gang, count, kind;
};

struct OnScreen {
    int banner = 0, line = 0;  // raster ids of the text rectangles, 0 when not drawn
};

OnScreen Frame(uint32_t ms) {
    sim::AdvanceClock(ms);
    sim::RunFrame();
    OnScreen screen;
    for (const sim::DrawRecord* draw : sim::DrawsOfFrame(sim::renderLog.frame)) {
        const uint32_t colour = draw->vertices.at(0).colour;
        if (colour == kBannerColour) screen.banner = draw->rasterId;
        if (colour == kLineColour) screen.line = draw->rasterId;
    }
    return screen;
}

class NoticeWar : public testing::Test {
protected:
    PluginSession session{L"notice-war"};
    ShowFn show = nullptr;
    int nextSlot = 10;

    void SetUp() override {
        sim::ResetWorld(64);
        ASSERT_TRUE(session.Load());
        show = reinterpret_cast<ShowFn>(session.Export("_ZN13NoticeOverlay4ShowEjjNS_4KindEj"));
        ASSERT_TRUE(show);
        sim::SetClock(100000);
        Frame(0);
    }

    void Kill(int32_t pedType) {
        nextSlot = nextSlot == 60 ? 10 : nextSlot + 1;
        uint8_t* member = sim::SpawnPed(nextSlot, pedType, 40.0f, 0.0f, 0.0f);
        sim::KillPed(member);
        const sim::CallResult credit = sim::CreditKill(member);
        ASSERT_TRUE(credit.registersKept && credit.stackBalanced);
    }

    // True when the plugin's notice on the screen is exactly `expected`.
    bool Showing(const Notice& expected, const OnScreen& screen) {
        show(expected.gang, expected.count, expected.kind, sim::Clock());
        const OnScreen again = Frame(0);
        return again.line == screen.line && (expected.kind != 4 || again.banner == screen.banner);
    }
};

TEST_F(NoticeWar, KillsOneByOneToKillsRequiredGiveEveryNoticeInTurn) {
    const std::vector<Notice> expected = {{1, 25, 0},  {1, 50, 0},  {1, 75, 0},  {1, 100, 1}, {1, 125, 0},
                                          {1, 150, 0}, {1, 175, 0}, {1, 200, 2}, {1, 225, 0}, {1, 250, 0},
                                          {1, 275, 0}, {1, 300, 4}};
    std::vector<uint32_t> shownAt;
    int lastLine = 0;
    for (int kill = 1; kill <= 300 + 40; ++kill) {
        if (kill <= 300) Kill(kLeone);
        for (int frame = 0; frame < 4; ++frame) {
            const OnScreen screen = Frame(250);
            if (screen.line == 0 || screen.line == lastLine) continue;
            lastLine = screen.line;
            ASSERT_LT(shownAt.size(), expected.size()) << "an extra notice at kill " << kill;
            const Notice& notice = expected[shownAt.size()];
            EXPECT_TRUE(Showing(notice, screen)) << "notice " << shownAt.size() << " should show " << notice.count;
            shownAt.push_back(sim::Clock());
        }
    }
    ASSERT_EQ(expected.size(), shownAt.size());
    for (size_t i = 1; i < shownAt.size(); ++i) EXPECT_GE(shownAt[i] - shownAt[i - 1], 6500u) << "notice " << i;
}

TEST_F(NoticeWar, StageNoticesOfEveryGangComeBeforeAnyMilestone) {
    for (int i = 0; i < 100; ++i) Kill(kTriads);
    for (int i = 0; i < 30; ++i) Kill(kLeone);
    const std::vector<Notice> expected = {{0, 100, 1}, {1, 25, 0}};
    size_t seen = 0;
    int lastLine = 0;
    for (int frame = 0; frame < 120; ++frame) {  // 30 s of play
        const OnScreen screen = Frame(250);
        if (screen.line == 0 || screen.line == lastLine) continue;
        lastLine = screen.line;
        ASSERT_LT(seen, expected.size()) << "an extra notice";
        EXPECT_TRUE(Showing(expected[seen], screen)) << "notice " << seen;
        ++seen;
    }
    EXPECT_EQ(expected.size(), seen);
}

TEST_F(NoticeWar, ANewGameClearsTheScreen) {
    for (int i = 0; i < 25; ++i) Kill(kTriads);
    OnScreen screen;
    for (int frame = 0; frame < 8 && screen.line == 0; ++frame) screen = Frame(250);
    ASSERT_NE(0, screen.line);
    const sim::CallResult newGame = sim::StartNewGame();
    ASSERT_TRUE(newGame.registersKept && newGame.stackBalanced);
    screen = Frame(50);
    EXPECT_EQ(0, screen.line);
    EXPECT_EQ(0, sim::LiveRasters());
}

}  // namespace
