// The render hook installed at the host's frame-drawing routine: the host's
// routine always runs first, then the gates decide whether the overlay is
// drawn, reset or left alone.
#include <gtest/gtest.h>

#include <string>

#include "fear/fear_state.h"
#include "host/hook_engine.h"
#include "overlay/notice_render.h"
#include "settings/settings.h"
#include "sim.h"
#include "world.h"
#include "world_render.h"

namespace {

class RenderHook : public ::testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld();
        InitFearState();
        fearState.active = true;
        settings.Enabled = true;
        settings.EnableNotifications = true;
        settings.Language = LanguageChoice::Auto;
        russianWindows = false;
        bannerSlot = lineSlot = {};
        bannerTexture = lineTexture = {};
        ASSERT_TRUE(InstallHooks());
        hostRuns = sim::routines.runs[7];
    }
    void TearDown() override {
        RemoveHooks();
        EXPECT_TRUE(sim::renderLog.errors.empty()) << sim::renderLog.errors.front();
    }

    // The game drawing one frame: its routine entered at its address.
    std::vector<const sim::DrawRecord*> Frame() {
        const sim::CallResult call = sim::CallHost(sim::addr::SiteRenderFrame, {}, false);
        EXPECT_TRUE(call.registersKept && call.stackBalanced);
        return sim::DrawsOfFrame(sim::renderLog.frame);
    }
    int HostRunsSinceSetUp() const { return sim::routines.runs[7] - hostRuns; }

    int hostRuns = 0;
};

TEST_F(RenderHook, OverlayLiesOverTheHostsFrameWithTheHostsClockLanguageAndScreen) {
    sim::SetClock(5000);
    sim::SetScreen(1280, 720);
    sim::SetLanguage(4);  // a Spanish game under Language=auto, on a Windows not set up for Russian
    NoticeOverlay::Show(1, 50, NoticeOverlay::MembersKilled, 4000);

    const auto draws = Frame();
    EXPECT_EQ(HostRunsSinceSetUp(), 1);
    ASSERT_EQ(draws.size(), 2u);
    // The host's own drawing of this frame comes before the overlay's rectangles.
    ASSERT_FALSE(sim::renderLog.draws.empty());
    EXPECT_TRUE(sim::renderLog.draws.front().byHost);
    EXPECT_EQ(&sim::renderLog.draws[1], draws[0]);
    EXPECT_EQ(lineTexture.wrapWidth, 938);
    EXPECT_EQ(std::wstring(lineTexture.text), L"Familia Leone: 50 miembros abatidos");
    EXPECT_FLOAT_EQ(draws[1]->vertices[0].x + draws[1]->vertices[2].x, 1280.0f);

    sim::SetClock(9000);  // 5000 ms after the notice
    EXPECT_TRUE(Frame().empty() && sim::LiveRasters() == 0);
}

// While the module is inactive or a host gate is set, the host's routine
// still runs, but the overlay neither draws, nor retires, nor resets; a notice
// that ends meanwhile is never seen.
TEST_F(RenderHook, InactiveModuleOrAHostGateLeavesTheOverlayAlone) {
    for (int blocker = 0; blocker < 4; ++blocker) {  // 0..2: the host's gates; 3: the module inactive
        SCOPED_TRACE(blocker);
        sim::ResetWorld();
        lineTexture = {};
        hostRuns = sim::routines.runs[7];
        NoticeOverlay::Show(2, 75, NoticeOverlay::MembersKilled, 0);
        ASSERT_EQ(Frame().size(), 2u);
        const uint8_t gateValues[3] = {1, 2, 0x80};  // any non-zero byte hides the overlay
        if (blocker < 3) sim::SetOverlayGate(blocker, gateValues[blocker]);
        fearState.active = blocker != 3;
        settings.EnableNotifications = false;
        for (uint32_t clock : {0u, 4999u, 6000u}) {
            sim::SetClock(clock);
            EXPECT_TRUE(Frame().empty());
            EXPECT_TRUE(lineSlot.duration == 5000 && sim::LiveRasters() == 1);
        }
        EXPECT_EQ(sim::renderLog.stateReads.size(), 9u);
        if (blocker < 3) sim::SetOverlayGate(blocker, 0);
        fearState.active = true;
        settings.EnableNotifications = true;
        EXPECT_TRUE(Frame().empty());
        EXPECT_TRUE(lineSlot.duration == 0 && sim::LiveRasters() == 0);
        EXPECT_EQ(HostRunsSinceSetUp(), 5);
    }
}

TEST_F(RenderHook, EnabledOrNotificationsOffEmptyTheSlotsEveryFrame) {
    NoticeOverlay::Show(3, 300, NoticeOverlay::BroughtToKnees, 0);
    ASSERT_EQ(Frame().size(), 4u);
    EXPECT_EQ(sim::LiveRasters(), 2);

    const bool switches[][2] = {{true, false}, {true, false}, {false, true}};  // Enabled, EnableNotifications
    uint32_t count = 325;
    sim::SetClock(1000);  // every notice shown below would still be showing
    for (const auto& s : switches) {
        settings.Enabled = s[0];
        settings.EnableNotifications = s[1];
        EXPECT_TRUE(Frame().empty()) << count;
        EXPECT_TRUE(sim::LiveRasters() == 0 && bannerSlot.duration == 0 && lineSlot.duration == 0) << count;
        NoticeOverlay::Show(3, count += 25, NoticeOverlay::MembersKilled, 1000);
    }
    EXPECT_EQ(sim::renderLog.rasters.size(), 2u);

    settings.Enabled = true;
    NoticeOverlay::Show(3, 425, NoticeOverlay::MembersKilled, 1000);
    EXPECT_EQ(Frame().size(), 2u);
}

}  // namespace