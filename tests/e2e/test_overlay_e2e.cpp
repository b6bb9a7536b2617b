// The notice overlay of the shipped module over the simulated host's frames:
// notices put up through the exported operations (as another plugin would)
// and by the plugin's own war on the gangs, drawn, composited, switched off,
// hidden and retired.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim.h"
#include "support/plugin_session.h"
#include "world.h"
#include "world_peds.h"
#include "world_render.h"

namespace {

using ShowFn = void (*)(unsigned int gang, unsigned int count, uint32_t kind, unsigned int now);
using ResetFn = void (*)();
using DrawFn = void (*)(unsigned int now, int language, int width, int height);

constexpr uint32_t kMilestone = 0, kBanner = 4;
constexpr uint32_t kBackground = 0x5A6A7E;

struct Exports {
    ShowFn show, showMsvc;
    ResetFn reset, resetMsvc;
    DrawFn draw, drawMsvc;
};

Exports ExportsOf(const PluginSession& session) {
    return {reinterpret_cast<ShowFn>(session.Export("_ZN13NoticeOverlay4ShowEjjNS_4KindEj")),
            reinterpret_cast<ShowFn>(session.Export("?Show@NoticeOverlay@@YAXIIW4Kind@1@I@Z")),
            reinterpret_cast<ResetFn>(session.Export("_ZN13NoticeOverlay5ResetEv")),
            reinterpret_cast<ResetFn>(session.Export("?Reset@NoticeOverlay@@YAXXZ")),
            reinterpret_cast<DrawFn>(session.Export("_ZN13NoticeOverlay4DrawEjiii")),
            reinterpret_cast<DrawFn>(session.Export("?Draw@NoticeOverlay@@YAXIHHH@Z"))};
}

// One frame of the game, `ms` after the last: the world update, then the drawing.
std::vector<const sim::DrawRecord*> Frame(uint32_t ms = 50) {
    sim::AdvanceClock(ms);
    const sim::CallResult update = sim::CallHost(sim::addr::SiteWorldUpdate, {}, false);
    const sim::CallResult draw = sim::CallHost(sim::addr::SiteRenderFrame, {}, false);
    EXPECT_TRUE(update.registersKept && update.stackBalanced);
    EXPECT_TRUE(draw.registersKept && draw.stackBalanced);
    return sim::DrawsOfFrame(sim::renderLog.frame);
}

uint32_t Colour(const sim::DrawRecord* draw) { return draw->vertices.at(0).colour; }
float CentreX(const sim::DrawRecord* draw) { return (draw->vertices.at(0).x + draw->vertices.at(2).x) * 0.5f; }
float CentreY(const sim::DrawRecord* draw) { return (draw->vertices.at(0).y + draw->vertices.at(1).y) * 0.5f; }

class OverlaySession : public ::testing::Test {
protected:
    void SetUp() override { sim::ResetWorld(64); }
    void TearDown() override {
        EXPECT_TRUE(sim::renderLog.errors.empty()) << sim::renderLog.errors.front();
        sim::routines = sim::RoutineLog{};  // ResetWorld keeps these counts; later suites expect them from zero
    }
};

TEST_F(OverlaySession, BothNamesOfEachExportAreOneOperation) {
    PluginSession session(L"overlay-exports");
    ASSERT_TRUE(session.Load());
    const Exports e = ExportsOf(session);
    ASSERT_NE(e.show, nullptr);
    ASSERT_NE(e.reset, nullptr);
    ASSERT_NE(e.draw, nullptr);
    EXPECT_EQ(e.show, e.showMsvc);
    EXPECT_EQ(e.reset, e.resetMsvc);
    EXPECT_EQ(e.draw, e.drawMsvc);

    // Another plugin drawing the overlay itself, outside the hooked routine.
    sim::SetClock(1000);
    e.showMsvc(2, 50, kMilestone, 1000);
    e.draw(1100, 0, 1024, 768);
    const auto draws = sim::DrawsOfFrame(sim::renderLog.frame);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(Colour(draws[1]), 0xFFF4F4F4u);
    EXPECT_FLOAT_EQ(CentreX(draws[1]), 512.0f);
    e.resetMsvc();
    e.draw(1200, 0, 1024, 768);
    EXPECT_EQ(sim::LiveRasters(), 0);
}

TEST_F(OverlaySession, BannerAndFollowUpLineRunTheirOwnTimesAndFollowTheLanguage) {
    PluginSession session(L"overlay-banner");
    ASSERT_TRUE(session.Load());
    const Exports e = ExportsOf(session);
    sim::SetClock(20000);
    e.show(1, 300, kBanner, sim::Clock());

    auto draws = Frame();
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(Colour(draws[0]), 0xD0000000u);
    EXPECT_EQ(Colour(draws[1]), 0xFFEFBD72u);
    EXPECT_EQ(Colour(draws[2]), 0xD0000000u);
    EXPECT_EQ(Colour(draws[3]), 0xFFF4F4F4u);
    EXPECT_FLOAT_EQ(CentreX(draws[1]), 400.0f);
    EXPECT_FLOAT_EQ(CentreY(draws[1]), 600 * 0.41f);
    EXPECT_FLOAT_EQ(CentreX(draws[3]), 400.0f);
    EXPECT_FLOAT_EQ(CentreY(draws[3]), 600 * 0.83f);
    EXPECT_EQ(sim::LiveRasters(), 2);

    // Russian from the next frame on: both texts rendered again on that frame.
    sim::SetLanguage(1);
    draws = Frame();
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(sim::renderLog.rasters.size(), 4u);
    EXPECT_EQ(sim::LiveRasters(), 2);
    EXPECT_EQ(draws[1]->rasterId, 3);
    EXPECT_EQ(draws[3]->rasterId, 4);

    sim::SetClock(20000 + 4999 - 50);
    EXPECT_EQ(Frame().size(), 4u);
    EXPECT_EQ(Frame(1).size(), 2u);  // 5000 ms: the banner is gone, its raster released
    EXPECT_FALSE(sim::RasterById(3)->alive);
    sim::SetClock(20000 + 9999 - 50);
    EXPECT_EQ(Frame().size(), 2u);
    EXPECT_TRUE(Frame(1).empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
}

// What the player sees: the frame composited, the text centred and shadowed.
TEST_F(OverlaySession, CompositedLineIsCentredReadableAndShadowed) {
    PluginSession session(L"overlay-picture");
    ASSERT_TRUE(session.Load());
    sim::SetScreen(1920, 1080);
    sim::SetClock(5000);
    ExportsOf(session).show(0, 75, kMilestone, sim::Clock());
    ASSERT_EQ(Frame().size(), 2u);

    const sim::Frame frame = sim::CompositeFrame(sim::renderLog.frame, 1920, 1080, kBackground);
    int left = 1920, right = -1, top = 1080, bottom = -1, bright = 0, dark = 0;
    for (int y = 0; y < 1080; ++y) {
        for (int x = 0; x < 1920; ++x) {
            const uint8_t* p = &frame.rgb[(y * 1920 + x) * 3];
            const uint32_t rgb = p[0] << 16 | p[1] << 8 | p[2];
            if (rgb == kBackground) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
            bright += p[0] >= 0xF0 && p[1] >= 0xF0 && p[2] >= 0xF0;
            dark += p[0] < 0x20 && p[1] < 0x20 && p[2] < 0x20;
        }
    }
    EXPECT_GT(bright, 2000) << "solid text pixels";
    EXPECT_GT(dark, 500) << "solid shadow pixels";
    // The shadow reaches 3.6 pixels further right and down than the text.
    EXPECT_NEAR((left + right) * 0.5, 960.0 + 1.8, 3.0);
    EXPECT_NEAR((top + bottom) * 0.5, 1080 * 0.83 + 1.8, 4.0);
    EXPECT_GT(right - left, 400);
    EXPECT_LT(bottom - top, 70);

    const std::vector<uint8_t> png = sim::EncodePng(frame);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_LT(png.size(), 400000u);
}

TEST_F(OverlaySession, SwitchedOffNotificationsAndHostGatesShowNothing) {
    PluginSession session(L"overlay-off");
    session.WriteSettings("EnableNotifications=0\r\n");
    ASSERT_TRUE(session.Load());
    const Exports e = ExportsOf(session);
    sim::SetClock(1000);
    e.show(3, 25, kMilestone, sim::Clock());
    EXPECT_TRUE(Frame().empty());
    EXPECT_TRUE(Frame().empty());
    EXPECT_TRUE(sim::renderLog.rasters.empty());
    session.Unload();

    PluginSession gated(L"overlay-gated");
    ASSERT_TRUE(gated.Load());
    const Exports g = ExportsOf(gated);
    sim::SetOverlayGate(1, 1);
    g.show(3, 50, kMilestone, sim::Clock());
    EXPECT_TRUE(Frame().empty());
    sim::SetOverlayGate(1, 0);
    EXPECT_EQ(Frame().size(), 2u);
    const int hostRuns = sim::routines.runs[7];

    // Unloading puts the host's routine back; the texture held then stays with the host.
    gated.Unload();
    EXPECT_TRUE(sim::SitesPristine());
    EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(sim::routines.runs[7], hostRuns + 1);
    EXPECT_EQ(sim::LiveRasters(), 1);
}

// The plugin's own notice step: the 25th Triad killed puts up the milestone
// line, exactly the text another plugin's Show of the same notice yields.
TEST_F(OverlaySession, TwentyFifthKillPutsUpTheMilestoneLine) {
    PluginSession session(L"overlay-war");
    ASSERT_TRUE(session.Load());
    sim::SetClock(100000);
    Frame();
    for (int slot = 10; slot < 35; ++slot) {
        uint8_t* member = sim::SpawnPed(slot, 8, 40.0f, 0.0f, 0.0f);
        sim::KillPed(member);
        sim::CreditKill(member);
    }
    std::vector<const sim::DrawRecord*> draws;
    for (int i = 0; i < 10 && draws.empty(); ++i) draws = Frame(250);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(Colour(draws[1]), 0xFFF4F4F4u);
    EXPECT_FLOAT_EQ(CentreY(draws[1]), 600 * 0.83f);
    const int raster = draws[1]->rasterId;

    ExportsOf(session).show(0, 25, kMilestone, sim::Clock());
    draws = Frame();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1]->rasterId, raster) << "the text differs from \"Triads members killed: 25\"";
    EXPECT_EQ(sim::renderLog.rasters.size(), 1u);
}

}  // namespace
