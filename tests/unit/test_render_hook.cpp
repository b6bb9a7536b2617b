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
#include "support/win32_faults.h"
#include "world.h"
#include "world_render.h"

namespace {

class RenderHook : public ::testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld();
        faults::Clear();
        InitFearState();
        fearState.active = true;
        settings.Enabled = true;
        settings.EnableNotifications = true;
        bannerSlot = {};
        lineSlot = {};
        bannerTexture = {};
        lineTexture = {};
        ASSERT_TRUE(InstallHooks());
    }
    void TearDown() override {
        RemoveHooks();
        EXPECT_TRUE(sim::renderLog.errors.empty()) << sim::renderLog.errors.front();
    }

    // The game drawing one frame: its routine entered at its address.
    std::vector<const sim::DrawRecord*> Frame() {
        const sim::CallResult call = sim::CallHost(sim::addr::SiteRenderFrame, {}, false);
        EXPECT_TRUE(call.registersKept);
        EXPECT_TRUE(call.stackBalanced);
        return sim::DrawsOfFrame(sim::renderLog.frame);
    }
};

TEST_F(RenderHook, OverlayLiesOverTheHostsFrameWithTheHostsClockLanguageAndScreen) {
    sim::SetClock(5000);
    sim::SetScreen(1280, 720);
    sim::SetLanguage(1);
    NoticeOverlay::Show(1, 50, NoticeOverlay::MembersKilled, 4000);

    const int hostRuns = sim::routines.runs[7];
    const auto draws = Frame();
    EXPECT_EQ(sim::routines.runs[7], hostRuns + 1);
    ASSERT_EQ(draws.size(), 2u);
    // The host's own drawing of this frame comes before the overlay's rectangles.
    size_t hostIndex = 0, firstOverlay = 0;
    for (size_t i = 0; i < sim::renderLog.draws.size(); ++i) {
        if (sim::renderLog.draws[i].byHost && sim::renderLog.draws[i].frame == 1) hostIndex = i + 1;
        if (&sim::renderLog.draws[i] == draws[0]) firstOverlay = i + 1;
    }
    EXPECT_GT(hostIndex, 0u);
    EXPECT_LT(hostIndex, firstOverlay);
    EXPECT_EQ(lineTexture.wrapWidth, 938);
    EXPECT_EQ(std::wstring(lineTexture.text), L"Убито \u2014 50 человек из семьи Леоне.");
    EXPECT_FLOAT_EQ(draws[1]->vertices[0].x + draws[1]->vertices[2].x, 1280.0f);

    sim::SetClock(9000);  // 5000 ms after the notice
    EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
}

TEST_F(RenderHook, InactiveModuleOnlyRunsTheHostsRoutine) {
    NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, 0);
    fearState.active = false;
    settings.EnableNotifications = false;
    sim::SetClock(100000);
    const int hostRuns = sim::routines.runs[7];
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(sim::routines.runs[7], hostRuns + 3);
    EXPECT_EQ(lineSlot.duration, 5000u);  // neither reset nor retired
    EXPECT_TRUE(sim::renderLog.stateReads.empty());
}

TEST_F(RenderHook, EachGateHidesTheOverlayAndANoticeThatEndsMeanwhileIsNeverSeen) {
    for (int gate = 0; gate < 3; ++gate) {
        SCOPED_TRACE(gate);
        sim::ResetWorld();
        lineTexture = {};
        const int hostRuns = sim::routines.runs[7];
        NoticeOverlay::Show(2, 75, NoticeOverlay::MembersKilled, 0);
        ASSERT_EQ(Frame().size(), 2u);
        sim::SetOverlayGate(gate, 1);
        EXPECT_TRUE(Frame().empty());
        sim::SetClock(4999);
        EXPECT_TRUE(Frame().empty());
        EXPECT_EQ(lineSlot.duration, 5000u);
        EXPECT_EQ(sim::LiveRasters(), 1);
        sim::SetClock(6000);
        EXPECT_TRUE(Frame().empty());
        sim::SetOverlayGate(gate, 0);
        EXPECT_TRUE(Frame().empty());
        EXPECT_EQ(lineSlot.duration, 0u);
        EXPECT_EQ(sim::LiveRasters(), 0);
        EXPECT_EQ(sim::routines.runs[7], hostRuns + 5);
    }
}

TEST_F(RenderHook, NotificationsOffEmptyTheSlotsEveryFrame) {
    NoticeOverlay::Show(3, 300, NoticeOverlay::BroughtToKnees, 0);
    ASSERT_EQ(Frame().size(), 4u);
    EXPECT_EQ(sim::LiveRasters(), 2);

    settings.EnableNotifications = false;
    EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
    EXPECT_EQ(bannerSlot.duration, 0u);
    EXPECT_EQ(lineSlot.duration, 0u);
    NoticeOverlay::Show(3, 325, NoticeOverlay::MembersKilled, 10);
    EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(lineSlot.duration, 0u);

    settings.EnableNotifications = true;
    settings.Enabled = false;
    NoticeOverlay::Show(3, 350, NoticeOverlay::MembersKilled, 20);
    EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(lineSlot.duration, 0u);
    EXPECT_EQ(static_cast<int>(sim::renderLog.rasters.size()), 2);

    settings.Enabled = true;
    sim::SetClock(40);
    NoticeOverlay::Show(3, 375, NoticeOverlay::MembersKilled, 30);
    EXPECT_EQ(Frame().size(), 2u);
}

}  // namespace
