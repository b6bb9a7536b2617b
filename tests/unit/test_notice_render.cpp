// Notice rendering against the simulated host's raster, render-state and 2D
// drawing routines, with real GDI text: textures, their cache and release,
// render states, geometry, expiry and every failure path of the texture.
#include <gtest/gtest.h>

#include <string>

#include "host_routines.h"
#include "overlay/notice_render.h"
#include "sim.h"
#include "support/win32_faults.h"
#include "world.h"
#include "world_render.h"

namespace {

constexpr int32_t kStateOrder[9] = {1, 6, 8, 9, 10, 11, 12, 14, 20};

class NoticeRender : public ::testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld();
        faults::Clear();
        bannerSlot = {};
        lineSlot = {};
        bannerTexture = {};
        lineTexture = {};
        gdiBefore = faults::LiveGdiObjects();
    }
    void TearDown() override {
        EXPECT_EQ(faults::LiveGdiObjects(), gdiBefore) << "GDI objects leaked";
        EXPECT_TRUE(sim::renderLog.errors.empty()) << sim::renderLog.errors.front();
        faults::Clear();
    }

    // One host frame: the host's own drawing, then the overlay on top.
    std::vector<const sim::DrawRecord*> Frame(uint32_t now, int language = 0, int width = 800, int height = 600) {
        sim::SimRenderFrame();
        NoticeOverlay::Draw(now, language, width, height);
        return sim::DrawsOfFrame(sim::renderLog.frame);
    }
    int RastersCreated() const { return static_cast<int>(sim::renderLog.rasters.size()); }

    int gdiBefore = 0;
};

uint32_t Texel(const sim::RasterInfo& raster, int x, int y) {
    const uint8_t* at = raster.pixels->data() + y * raster.stride + 4 * x;
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// The texture holds white texels whose alpha is the text's coverage, outside
// the padded text box nothing, inside it some text.
void ExpectTextTexture(const sim::RasterInfo& raster, const NoticeTexture& texture) {
    int covered = 0;
    for (int y = 0; y < raster.height; ++y) {
        for (int x = 0; x < raster.width; ++x) {
            const uint32_t texel = Texel(raster, x, y);
            ASSERT_EQ(texel & 0xFFFFFF, 0xFFFFFFu) << x << "," << y;
            const bool inText = x >= 3 && y >= 3 && x < texture.boxWidth - 3 && y < texture.boxHeight - 3;
            if (!inText) {
                ASSERT_EQ(texel >> 24, 0u) << "coverage outside the text at " << x << "," << y;
            }
            covered += (texel >> 24) > 0x80;
        }
    }
    EXPECT_GT(covered, 100);
}

TEST_F(NoticeRender, LineNoticeBecomesOneTextureAndTwoRectangles) {
    sim::SetScreenDepth(0.25f);
    NoticeOverlay::Show(1, 50, NoticeOverlay::MembersKilled, 1000);
    const auto draws = Frame(1200);

    ASSERT_EQ(RastersCreated(), 1);
    const sim::RasterInfo& raster = sim::renderLog.rasters[0];
    EXPECT_EQ(lineTexture.raster, raster.address);
    EXPECT_EQ(lineTexture.wrapWidth, 704);
    EXPECT_EQ(std::wstring(lineTexture.text), L"Leone family members killed: 50");
    EXPECT_GT(lineTexture.boxWidth, 6 + 200);
    EXPECT_LT(lineTexture.boxWidth, 6 + 704);
    EXPECT_GT(lineTexture.boxHeight, 6 + 20);
    EXPECT_LT(lineTexture.boxHeight, 6 + 40);
    EXPECT_EQ(raster.width, lineTexture.textureWidth);
    EXPECT_EQ(raster.height, lineTexture.textureHeight);
    EXPECT_GE(raster.width, lineTexture.boxWidth);
    EXPECT_LT(raster.width, 2 * lineTexture.boxWidth);
    EXPECT_EQ(raster.width & (raster.width - 1), 0);
    EXPECT_GE(raster.height, lineTexture.boxHeight);
    EXPECT_LT(raster.height, 2 * lineTexture.boxHeight);
    EXPECT_EQ(raster.height & (raster.height - 1), 0);
    EXPECT_EQ(raster.depth, 32);
    EXPECT_EQ(raster.flags, 0x504);
    EXPECT_EQ(raster.locks, 1);
    EXPECT_EQ(raster.unlocks, 1);
    ExpectTextTexture(raster, lineTexture);

    ASSERT_EQ(draws.size(), 2u);
    const float x0 = (800.0f - lineTexture.boxWidth) * 0.5f;
    const float y0 = 600.0f * 0.83f + lineTexture.boxHeight * -0.5f;
    const float x1 = x0 + lineTexture.boxWidth, y1 = y0 + lineTexture.boxHeight;
    const float uMax = static_cast<float>(lineTexture.boxWidth) / raster.width;
    const float vMax = static_cast<float>(lineTexture.boxHeight) / raster.height;
    const uint32_t colours[2] = {0xD0000000, 0xFFF4F4F4};
    const float offsets[2] = {2.0f, 0.0f};
    for (int i = 0; i < 2; ++i) {
        const sim::DrawRecord& draw = *draws[i];
        EXPECT_EQ(draw.type, 4);
        EXPECT_EQ(draw.count, 4);
        EXPECT_EQ(draw.rasterId, 1);
        ASSERT_EQ(draw.vertices.size(), 4u);
        const float xs[4] = {x0, x0, x1, x1}, ys[4] = {y0, y1, y0, y1};
        const float us[4] = {0, 0, uMax, uMax}, vs[4] = {0, vMax, 0, vMax};
        for (int k = 0; k < 4; ++k) {
            const sim::Vertex2D& v = draw.vertices[k];
            EXPECT_EQ(v.x, xs[k] + offsets[i]) << "rectangle " << i << " vertex " << k;
            EXPECT_EQ(v.y, ys[k] + offsets[i]) << "rectangle " << i << " vertex " << k;
            EXPECT_EQ(v.z, 0.25f);
            EXPECT_EQ(v.rhw, 1.0f);
            EXPECT_EQ(v.colour, colours[i]);
            EXPECT_EQ(v.u, us[k]);
            EXPECT_EQ(v.v, vs[k]);
        }
    }
    EXPECT_EQ(sim::renderLog.depthQueries, 2);
}

TEST_F(NoticeRender, NineStatesReadSetAndRestoredInTableOrder) {
    const uint32_t before[9] = {0, 1, 1, 1, 2, 1, 0, 1, 2};
    for (int i = 0; i < 9; ++i) sim::SetRenderState(kStateOrder[i], before[i]);
    NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, 0);
    ASSERT_EQ(Frame(10).size(), 2u);

    const uint32_t raster = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(lineTexture.raster));
    const uint32_t wanted[9] = {raster, 0, 0, 2, 5, 6, 1, 0, 1};
    ASSERT_EQ(sim::renderLog.stateReads.size(), 9u);
    ASSERT_EQ(sim::renderLog.stateSets.size(), 18u);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(sim::renderLog.stateReads[i].state, kStateOrder[i]);
        EXPECT_EQ(sim::renderLog.stateSets[i].state, kStateOrder[i]);
        EXPECT_EQ(sim::renderLog.stateSets[i].value, wanted[i]);
        EXPECT_EQ(sim::renderLog.stateSets[9 + i].state, kStateOrder[i]);
        EXPECT_EQ(sim::renderLog.stateSets[9 + i].value, before[i]);
        EXPECT_EQ(sim::RenderState(kStateOrder[i]), before[i]);
    }
    // Both rectangles were drawn with all nine in force.
    for (const sim::DrawRecord* draw : sim::DrawsOfFrame(sim::renderLog.frame))
        for (int i = 0; i < 9; ++i) EXPECT_EQ(draw->states[kStateOrder[i]], wanted[i]);
}

TEST_F(NoticeRender, FailedStateCallsDrawNothingAndRestoreWhatWasTouched) {
    NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, 0);

    sim::renderFaults.stateSetFailsAt = 9;  // the ninth set: all nine come back
    EXPECT_TRUE(Frame(10).empty());
    ASSERT_EQ(sim::renderLog.stateSets.size(), 18u);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(sim::renderLog.stateSets[9 + i].state, kStateOrder[i]);

    sim::renderFaults.stateSetFailsAt = 18 + 3;  // the third set of the next frame
    EXPECT_TRUE(Frame(20).empty());
    ASSERT_EQ(sim::renderLog.stateSets.size(), 18u + 6u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sim::renderLog.stateSets[21 + i].state, kStateOrder[i]);

    sim::renderFaults.stateReadFailsAt = 18 + 5;  // a read fails: no state is set at all
    EXPECT_TRUE(Frame(30).empty());
    EXPECT_EQ(sim::renderLog.stateSets.size(), 24u);
    EXPECT_EQ(sim::renderLog.stateReads.size(), 18u + 5u);

    EXPECT_EQ(Frame(40).size(), 2u);  // the texture was kept all along
    EXPECT_EQ(RastersCreated(), 1);
    sim::SimRenderFrame();  // states left behind would show up as errors here
}

TEST_F(NoticeRender, GeometryAt1920x1080ScalesByOnePointEight) {
    NoticeOverlay::Show(3, 100, NoticeOverlay::MembersKilled, 0);
    // A cached texture whose box is 300 x 34 reference pixels.
    host::HostRaster* raster = host::RasterCreate(512, 64, 32, 0x504);
    lineTexture = {raster, 300, 34, 512, 64, NoticeWrapWidth(1920, 1080), {}};
    NoticeSlot slot = lineSlot;
    ComposeNoticeText(slot, 0, lineTexture.text);
    EXPECT_EQ(lineTexture.wrapWidth, 938);

    const auto draws = Frame(100, 0, 1920, 1080);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(RastersCreated(), 1);
    const sim::DrawRecord& shadow = *draws[0];
    const sim::DrawRecord& text = *draws[1];
    EXPECT_FLOAT_EQ(text.vertices[0].x, 690.0f);
    EXPECT_FLOAT_EQ(text.vertices[2].x - text.vertices[0].x, 540.0f);
    EXPECT_FLOAT_EQ(text.vertices[1].y - text.vertices[0].y, 61.2f);
    EXPECT_FLOAT_EQ((text.vertices[0].y + text.vertices[1].y) * 0.5f, 896.4f);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(shadow.vertices[k].x, text.vertices[k].x + 3.6f);
        EXPECT_EQ(shadow.vertices[k].y, text.vertices[k].y + 3.6f);
    }
    EXPECT_FLOAT_EQ(text.vertices[3].u, 300.0f / 512.0f);
    EXPECT_FLOAT_EQ(text.vertices[3].v, 34.0f / 64.0f);
}

TEST_F(NoticeRender, TextureKeptWhileWrapWidthStaysAndMadeAgainWhenItChanges) {
    EXPECT_EQ(NoticeWrapWidth(800, 600), 704);
    EXPECT_EQ(NoticeWrapWidth(1024, 768), 704);
    EXPECT_EQ(NoticeWrapWidth(1280, 720), 938);
    EXPECT_EQ(NoticeWrapWidth(1680, 1050), 844);
    EXPECT_EQ(NoticeWrapWidth(2560, 1080), 1000);
    EXPECT_EQ(NoticeWrapWidth(0x7FFFFFFF, 120), 1000);

    NoticeOverlay::Show(2, 75, NoticeOverlay::MembersKilled, 0);
    EXPECT_EQ(Frame(10, 0, 800, 600).size(), 2u);
    EXPECT_EQ(Frame(20, 0, 800, 600).size(), 2u);
    EXPECT_EQ(Frame(30, 0, 1024, 768).size(), 2u);
    EXPECT_EQ(RastersCreated(), 1);
    EXPECT_EQ(sim::renderLog.rasters[0].locks, 1);

    const auto draws = Frame(40, 0, 1280, 720);
    ASSERT_EQ(RastersCreated(), 2);
    EXPECT_FALSE(sim::renderLog.rasters[0].alive);
    EXPECT_TRUE(sim::renderLog.rasters[1].alive);
    EXPECT_EQ(lineTexture.wrapWidth, 938);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0]->rasterId, 2);
}

TEST_F(NoticeRender, TextChangesReRenderOnTheSameFrame) {
    NoticeOverlay::Show(2, 100, NoticeOverlay::Weakened, 0);
    ASSERT_EQ(Frame(10).size(), 2u);

    auto draws = Frame(20, 1);  // the host's language word turned Russian
    ASSERT_EQ(RastersCreated(), 2);
    EXPECT_FALSE(sim::renderLog.rasters[0].alive);
    EXPECT_EQ(std::wstring(lineTexture.text), L"Убито \u2014 100 бойцов Колумбийского картеля. Их влияние сокращается!");
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1]->rasterId, 2);

    NoticeOverlay::Show(2, 125, NoticeOverlay::MembersKilled, 30);  // a new count
    draws = Frame(40, 1);
    ASSERT_EQ(RastersCreated(), 3);
    EXPECT_EQ(sim::LiveRasters(), 1);
    EXPECT_EQ(draws[1]->rasterId, 3);
}

TEST_F(NoticeRender, ExpiresOnTheFrameItsDurationIsReached) {
    NoticeOverlay::Show(0, 300, NoticeOverlay::BroughtToKnees, 1000);
    auto draws = Frame(5999);
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(draws[1]->vertices[0].colour, 0xFFEFBD72u);  // banner first, line on top
    EXPECT_EQ(draws[3]->vertices[0].colour, 0xFFF4F4F4u);
    EXPECT_LT(draws[1]->vertices[0].y, 600 * 0.41f);
    EXPECT_GT(draws[1]->vertices[1].y, 600 * 0.41f);

    draws = Frame(6000);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1]->vertices[0].colour, 0xFFF4F4F4u);
    EXPECT_EQ(bannerSlot.duration, 0u);
    EXPECT_EQ(bannerTexture.raster, nullptr);
    EXPECT_EQ(sim::LiveRasters(), 1);

    EXPECT_EQ(Frame(10999).size(), 2u);
    EXPECT_TRUE(Frame(11000).empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
    EXPECT_EQ(lineSlot.duration, 0u);
    EXPECT_EQ(lineTexture.text[0], 0);
}

TEST_F(NoticeRender, ClockWrapAroundAndTinyScreens) {
    NoticeOverlay::Show(1, 25, NoticeOverlay::MembersKilled, 0xFFFFF000u);
    EXPECT_EQ(Frame(0x100).size(), 2u);

    // Too small a screen: nothing drawn, nothing expires, the texture stays.
    EXPECT_TRUE(Frame(0x100000, 0, 159, 600).empty());
    EXPECT_TRUE(Frame(0x100000, 0, 800, 119).empty());
    EXPECT_TRUE(Frame(0x100000, 0, -800, 600).empty());
    EXPECT_EQ(lineSlot.duration, 5000u);
    EXPECT_EQ(sim::LiveRasters(), 1);
    EXPECT_EQ(sim::renderLog.stateReads.size(), 9u);

    EXPECT_EQ(Frame(0x387).size(), 2u);
    EXPECT_TRUE(Frame(0x388).empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
}

TEST_F(NoticeRender, ResetReleasesBothTexturesOnTheNextDraw) {
    NoticeOverlay::Show(3, 300, NoticeOverlay::BroughtToKnees, 0);
    ASSERT_EQ(Frame(10).size(), 4u);
    EXPECT_EQ(sim::LiveRasters(), 2);
    NoticeOverlay::Reset();
    EXPECT_TRUE(Frame(20).empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
    EXPECT_EQ(bannerTexture.raster, nullptr);
    EXPECT_EQ(lineTexture.raster, nullptr);
}

TEST_F(NoticeRender, EmptyTextIsNeverDrawn) {
    NoticeOverlay::Show(1, 25, static_cast<NoticeOverlay::Kind>(7), 0);
    EXPECT_TRUE(Frame(10).empty());
    EXPECT_TRUE(Frame(4999).empty());
    EXPECT_EQ(RastersCreated(), 0);
    EXPECT_EQ(lineSlot.duration, 5000u);
    EXPECT_TRUE(Frame(5000).empty());
    EXPECT_EQ(lineSlot.duration, 0u);
}

// Each GDI step failing once: nothing is drawn, nothing leaks, and the next
// frame makes the texture.
TEST_F(NoticeRender, GdiFailuresRetryOnTheNextFrameWithoutLeaks) {
    struct Case {
        faults::Api api;
        int nth;
        const char* what;
    };
    const Case cases[] = {
        {faults::kCreateCompatibleDC, 1, "context"}, {faults::kCreateFontW, 1, "font"},
        {faults::kSelectObject, 1, "font selection"}, {faults::kDrawTextW, 1, "measure"},
        {faults::kCreateDIBSection, 1, "bitmap"},    {faults::kSelectObject, 2, "bitmap selection"},
        {faults::kDrawTextW, 2, "draw"},
    };
    uint32_t now = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, now);
        const int created = RastersCreated();
        faults::FailCall(c.api, c.nth);
        EXPECT_TRUE(Frame(now + 10).empty());
        EXPECT_EQ(RastersCreated(), created);
        EXPECT_EQ(faults::LiveGdiObjects(), gdiBefore);
        EXPECT_EQ(lineTexture.raster, nullptr);
        EXPECT_EQ(lineTexture.text[0], 0);
        EXPECT_EQ(lineSlot.duration, 5000u);

        EXPECT_EQ(Frame(now + 20).size(), 2u);
        EXPECT_EQ(RastersCreated(), created + 1);
        EXPECT_EQ(faults::LiveGdiObjects(), gdiBefore);
        NoticeOverlay::Reset();
        Frame(now + 30);
        faults::Clear();
        now += 100;
    }
    EXPECT_EQ(sim::LiveRasters(), 0);
}

TEST_F(NoticeRender, RasterFailuresReleaseTheRasterAndRetry) {
    NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, 0);
    sim::renderFaults.rasterCreateFailsAt = 1;
    EXPECT_TRUE(Frame(10).empty());
    EXPECT_EQ(sim::renderLog.rasterCreates, 1);
    EXPECT_EQ(lineTexture.raster, nullptr);
    EXPECT_EQ(Frame(20).size(), 2u);
    EXPECT_EQ(sim::LiveRasters(), 1);

    NoticeOverlay::Show(0, 50, NoticeOverlay::MembersKilled, 30);
    sim::renderFaults.rasterLockFailsAt = sim::renderLog.rasterLocks + 1;
    EXPECT_TRUE(Frame(40).empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
    EXPECT_EQ(lineTexture.raster, nullptr);
    EXPECT_EQ(Frame(50).size(), 2u);

    NoticeOverlay::Show(0, 75, NoticeOverlay::MembersKilled, 60);
    sim::renderFaults.reportedDepth = 16;
    EXPECT_TRUE(Frame(70).empty());
    EXPECT_TRUE(Frame(80).empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
    sim::renderFaults.reportedDepth = 32;
    sim::renderFaults.strideExtra = -4;
    EXPECT_TRUE(Frame(90).empty());
    EXPECT_EQ(sim::LiveRasters(), 0);
    const int refused = RastersCreated();
    for (int id = 1; id <= refused; ++id) EXPECT_EQ(sim::RasterById(id)->locks, sim::RasterById(id)->unlocks);

    // A wider row than needed: texels go by the stride, the padding is untouched.
    sim::renderFaults.strideExtra = 64;
    ASSERT_EQ(Frame(100).size(), 2u);
    const sim::RasterInfo& raster = sim::renderLog.rasters.back();
    ExpectTextTexture(raster, lineTexture);
    for (int y = 0; y < raster.height; ++y)
        for (int i = 0; i < 64; ++i) ASSERT_EQ((*raster.pixels)[y * raster.stride + raster.width * 4 + i], 0xCD);
    EXPECT_EQ(sim::LiveRasters(), 1);
}

}  // namespace
