// Notice rendering against the simulated host's raster, render-state and 2D
// drawing routines, with real GDI text: textures, their cache and release,
// render states, geometry, expiry and every failure path of the texture.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "host_routines.h"
#include "overlay/notice_render.h"
#include "sim.h"
#include "support/win32_faults.h"
#include "world.h"
#include "world_render.h"

namespace {

using Draws = std::vector<const sim::DrawRecord*>;
constexpr int32_t kStateOrder[9] = {1, 6, 8, 9, 10, 11, 12, 14, 20};
constexpr sim::RenderFaults kNoRasterFault = {0, 0, 32, 0, 0, 0};

// Where a slot's box is centred, as a fraction of the screen height, and its text colour.
struct Look {
    float centreFraction;
    uint32_t textColour;
};
constexpr Look kBannerLook = {0.41f, 0xFFEFBD72}, kLineLook = {0.83f, 0xFFF4F4F4};

class NoticeRender : public ::testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld();
        faults::Clear();
        bannerSlot = lineSlot = {};
        bannerTexture = lineTexture = {};
        gdiBefore = faults::LiveGdiObjects();
    }
    void TearDown() override {
        EXPECT_EQ(faults::LiveGdiObjects(), gdiBefore) << "GDI objects leaked";
        EXPECT_TRUE(sim::renderLog.errors.empty()) << sim::renderLog.errors.front();
        faults::Clear();
    }

    // One host frame: the host's own drawing, then the overlay on top.
    Draws Frame(uint32_t now, int language = 0, int width = 800, int height = 600) {
        sim::SimRenderFrame();
        DrawNotices(now, LanguageOfFlag(language), width, height);
        return sim::DrawsOfFrame(sim::renderLog.frame);
    }
    int RastersCreated() const { return static_cast<int>(sim::renderLog.rasters.size()); }

    int gdiBefore = 0;
};

void ExpectSmallestPowerOfTwo(int32_t texture, int32_t box) {
    EXPECT_TRUE(texture >= box && texture / 2 < box && (texture & (texture - 1)) == 0) << texture << " for " << box;
}

// A memory context with bold antialiased Arial of the given height selected.
struct ReferenceCanvas {
    explicit ReferenceCanvas(int fontHeight)
        : dc(CreateCompatibleDC(nullptr)),
          font(CreateFontW(fontHeight, 0, 0, 0, 700, 0, 0, 0, 1, 0, 0, 4, 0x20, L"Arial")),
          previousFont(SelectObject(dc, font)) {}
    ~ReferenceCanvas() {
        SelectObject(dc, previousFont);
        DeleteObject(font);
        DeleteDC(dc);
    }
    // The text's size laid out centred and word-wrapped in the wrap width.
    RECT Measure(const std::wstring& text, int32_t wrap) const {
        RECT box = {0, 0, wrap, 0};
        DrawTextW(dc, text.c_str(), -1, &box, DT_CENTER | DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
        return box;
    }
    HDC dc;
    HFONT font;
    HGDIOBJ previousFont;
};

// The texture must hold the text as GDI lays it out in the style's font, white
// texels whose alpha is the blue channel of white text painted on black.
void ExpectTextureShows(const NoticeTexture& texture, const std::wstring& text, int fontHeight, int32_t wrap) {
    EXPECT_EQ(std::wstring(texture.text), text);
    EXPECT_EQ(texture.wrapWidth, wrap);
    const sim::RasterInfo* raster = sim::RasterAt(texture.raster);
    ASSERT_NE(raster, nullptr);
    EXPECT_TRUE(raster->depth == 32 && raster->flags == 0x504 && raster->unlocks == raster->locks);

    const ReferenceCanvas canvas(fontHeight);
    const HDC dc = canvas.dc;
    const RECT box = canvas.Measure(text, wrap);
    EXPECT_EQ(texture.boxWidth, box.right + 6);
    EXPECT_EQ(texture.boxHeight, box.bottom + 6);
    ExpectSmallestPowerOfTwo(texture.textureWidth, texture.boxWidth);
    ExpectSmallestPowerOfTwo(texture.textureHeight, texture.boxHeight);
    ASSERT_TRUE(raster->width == texture.textureWidth && raster->height == texture.textureHeight);

    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), raster->width, -raster->height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
    memset(bits, 0, raster->width * raster->height * 4);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0xFFFFFF);
    RECT paint = {3, 3, box.right + 3, box.bottom + 3};
    DrawTextW(dc, text.c_str(), -1, &paint, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    GdiFlush();
    int mismatches = 0, covered = 0;
    for (int y = 0; y < raster->height; ++y) {
        for (int x = 0; x < raster->width; ++x) {
            const uint32_t blue = static_cast<const uint32_t*>(bits)[y * raster->width + x] & 0xFF;
            uint32_t texel;
            memcpy(&texel, raster->pixels->data() + y * raster->stride + 4 * x, 4);
            if (texel != (blue << 24 | 0xFFFFFF) && mismatches++ == 0)
                ADD_FAILURE() << "texel " << x << "," << y << " is " << std::hex << texel << ", coverage " << blue;
            covered += blue > 0x80;
        }
    }
    EXPECT_GT(covered, 100) << "the reference shows no text";
    SelectObject(dc, previousBitmap);
    DeleteObject(bitmap);
}

// A drop shadow 2 reference pixels right and down, then the text, each a
// four-vertex strip of the texture's box scaled by screen height / 600.
void ExpectShadowAndText(const Draws& draws, size_t first, const NoticeTexture& texture, int width, int height,
                         const Look& look, float z = 0.5f) {
    ASSERT_GE(draws.size(), first + 2);
    const float s = height / 600.0f, boxWidth = texture.boxWidth * s, boxHeight = texture.boxHeight * s;
    const float x0 = (width - boxWidth) * 0.5f, y0 = height * look.centreFraction - boxHeight / 2;
    const float uMax = static_cast<float>(texture.boxWidth) / texture.textureWidth;
    const float vMax = static_cast<float>(texture.boxHeight) / texture.textureHeight;
    for (int i = 0; i < 2; ++i) {
        const sim::DrawRecord& draw = *draws[first + i];
        EXPECT_TRUE(draw.type == 4 && draw.count == 4 && draw.rasterId == sim::RasterAt(texture.raster)->id);
        ASSERT_EQ(draw.vertices.size(), 4u);
        const float offset = i == 0 ? 2 * s : 0;
        for (int k = 0; k < 4; ++k) {
            const sim::Vertex2D& v = draw.vertices[k];
            SCOPED_TRACE(testing::Message() << "rectangle " << i << " vertex " << k);
            EXPECT_FLOAT_EQ(v.x, x0 + (k < 2 ? 0 : boxWidth) + offset);
            EXPECT_FLOAT_EQ(v.y, y0 + (k % 2 ? boxHeight : 0) + offset);
            EXPECT_TRUE(v.z == z && v.rhw == 1.0f && v.u == (k < 2 ? 0 : uMax) && v.v == (k % 2 ? vMax : 0));
            EXPECT_EQ(v.colour, i == 0 ? 0xD0000000 : look.textColour);
        }
    }
}

TEST_F(NoticeRender, BannerAndLineBecomeTexturesInTheirFontsDrawnAsShadowAndText) {
    sim::SetScreenDepth(0.25f);
    sim::renderFaults.strideExtra = 64;  // rows wider than needed: their padding must stay untouched
    NoticeOverlay::Show(1, 300, NoticeOverlay::BroughtToKnees, 1000);
    const Draws draws = Frame(1200);
    ASSERT_EQ(RastersCreated(), 2);
    ASSERT_EQ(draws.size(), 4u);  // banner first, the line on top
    ExpectTextureShows(bannerTexture, L"Leone brought to their knees!", -43, 704);
    ExpectTextureShows(lineTexture, L"300 killed. The survivors keep their distance.", -24, 704);
    for (const sim::RasterInfo& raster : sim::renderLog.rasters)
        for (int y = 0; y < raster.height; ++y)
            for (int i = 0; i < 64; ++i) ASSERT_EQ((*raster.pixels)[y * raster.stride + raster.width * 4 + i], 0xCD);
    ExpectShadowAndText(draws, 0, bannerTexture, 800, 600, kBannerLook, 0.25f);
    ExpectShadowAndText(draws, 2, lineTexture, 800, 600, kLineLook, 0.25f);
    EXPECT_EQ(sim::renderLog.depthQueries, 4);  // z fetched for each rectangle
}

TEST_F(NoticeRender, GeometryAt1920x1080ScalesByOnePointEight) {
    NoticeOverlay::Show(3, 100, NoticeOverlay::MembersKilled, 0);
    // A cached texture whose box is 300 x 34 reference pixels.
    lineTexture = {host::RasterCreate(512, 64, 32, 0x504), 300, 34, 512, 64, 938, {}};
    ComposeNoticeText(lineSlot, 0, lineTexture.text);

    const Draws draws = Frame(100, 0, 1920, 1080);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(RastersCreated(), 1);
    const sim::Vertex2D* text = draws[1]->vertices.data();
    EXPECT_FLOAT_EQ(text[0].x, 690.0f);
    EXPECT_FLOAT_EQ(text[2].x - text[0].x, 540.0f);
    EXPECT_FLOAT_EQ(text[1].y - text[0].y, 61.2f);
    EXPECT_FLOAT_EQ((text[0].y + text[1].y) * 0.5f, 896.4f);
    EXPECT_NEAR(draws[0]->vertices[0].x - text[0].x, 3.6f, 1e-4);
    EXPECT_NEAR(draws[0]->vertices[3].y - text[3].y, 3.6f, 1e-4);
    ExpectShadowAndText(draws, 0, lineTexture, 1920, 1080, kLineLook);
}

TEST_F(NoticeRender, NineStatesReadSetAndRestoredInTableOrderEvenWhenASetFails) {
    const uint32_t before[9] = {0, 1, 1, 1, 2, 1, 0, 1, 2};
    for (int i = 0; i < 9; ++i) sim::SetRenderState(kStateOrder[i], before[i]);
    NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, 0);
    ASSERT_EQ(Frame(10).size(), 2u);

    const uint32_t wanted[9] = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(lineTexture.raster)), 0, 0, 2, 5, 6,
                                1, 0, 1};
    const auto& reads = sim::renderLog.stateReads;
    const auto& sets = sim::renderLog.stateSets;
    ASSERT_TRUE(reads.size() == 9u && sets.size() == 18u);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(kStateOrder[i]);
        EXPECT_EQ(reads[i].state, kStateOrder[i]);
        EXPECT_TRUE(sets[i].state == kStateOrder[i] && sets[i].value == wanted[i]);
        EXPECT_TRUE(sets[9 + i].state == kStateOrder[i] && sets[9 + i].value == before[i]);
        for (const sim::DrawRecord* draw : sim::DrawsOfFrame(sim::renderLog.frame))
            EXPECT_EQ(draw->states[kStateOrder[i]], wanted[i]);
    }

    sim::renderFaults.stateSetFailsAt = 18 + 9;  // the ninth set: all nine come back
    EXPECT_TRUE(Frame(20).empty());
    ASSERT_EQ(sets.size(), 36u);
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(sets[27 + i].state == kStateOrder[i] && sets[27 + i].value == before[i]);

    sim::renderFaults.stateSetFailsAt = 36 + 3;  // the third set: those three come back
    EXPECT_TRUE(Frame(30).empty());
    ASSERT_EQ(sets.size(), 36u + 6u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sets[39 + i].state, kStateOrder[i]);

    sim::renderFaults.stateReadFailsAt = 27 + 5;  // a read fails: no state is set at all
    EXPECT_TRUE(Frame(40).empty());
    EXPECT_EQ(sets.size(), 42u);
    EXPECT_EQ(reads.size(), 27u + 5u);

    EXPECT_EQ(Frame(50).size(), 2u);  // the texture was kept all along
    EXPECT_EQ(RastersCreated(), 1);
    sim::SimRenderFrame();  // states left behind would show up as errors here
}

TEST_F(NoticeRender, TextureKeptUntilTheWrapWidthOrTheTextChanges) {
    const int screens[][3] = {{800, 600, 704},   {1024, 768, 704},  {1280, 720, 938},         {1680, 1050, 844},
                              {2150, 1080, 1000}, {2560, 1080, 1000}, {0x7FFFFFFF, 120, 1000}};
    for (const auto& s : screens) EXPECT_EQ(NoticeWrapWidth(s[0], s[1]), s[2]) << s[0] << "x" << s[1];

    NoticeOverlay::Show(2, 100, NoticeOverlay::Weakened, 0);
    for (uint32_t now : {10, 20}) EXPECT_EQ(Frame(now).size(), 2u);
    EXPECT_EQ(Frame(30, 0, 1024, 768).size(), 2u);
    EXPECT_EQ(RastersCreated(), 1);
    EXPECT_EQ(sim::renderLog.rasters[0].locks, 1);

    Draws draws = Frame(40, 0, 1280, 720);
    ExpectTextureShows(lineTexture, L"Colombian Cartel weakened. 100 killed.", -24, 938);
    ExpectShadowAndText(draws, 0, lineTexture, 1280, 720, kLineLook);

    draws = Frame(50, 1, 1280, 720);  // the host's language word turned Russian
    ExpectTextureShows(lineTexture, L"Убито \u2014 100 бойцов Колумбийского картеля. Их влияние сокращается!", -24,
                       938);
    ExpectShadowAndText(draws, 0, lineTexture, 1280, 720, kLineLook);

    NoticeOverlay::Show(2, 125, NoticeOverlay::MembersKilled, 60);  // a new count
    EXPECT_EQ(Frame(70, 1, 1280, 720)[1]->rasterId, 4);
    EXPECT_EQ(sim::LiveRasters(), 1);

    // A text exactly as wide as the wrap width keeps to one line.
    const std::wstring text = L"Colombian Cartel members killed: 125";
    const RECT oneLine = ReferenceCanvas(-24).Measure(text, kMaxWrapWidth);
    int width = oneLine.right;
    while (NoticeWrapWidth(width, 600) < oneLine.right) ++width;
    ASSERT_EQ(NoticeWrapWidth(width, 600), oneLine.right);
    Frame(80, 0, width, 600);
    ExpectTextureShows(lineTexture, text, -24, oneLine.right);
    EXPECT_EQ(lineTexture.boxHeight, oneLine.bottom + 6);
}

TEST_F(NoticeRender, RetiredOnTheFrameItsTimeIsUpOrAfterAReset) {
    NoticeOverlay::Show(0, 300, NoticeOverlay::BroughtToKnees, 1000);
    EXPECT_EQ(Frame(5999).size(), 4u);
    const Draws draws = Frame(6000);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1]->vertices[0].colour, 0xFFF4F4F4u);
    EXPECT_TRUE(bannerSlot.duration == 0 && bannerTexture.raster == nullptr && sim::LiveRasters() == 1);
    EXPECT_EQ(Frame(10999).size(), 2u);
    EXPECT_TRUE(Frame(11000).empty());
    EXPECT_TRUE(lineSlot.duration == 0 && lineTexture.text[0] == 0 && sim::LiveRasters() == 0);

    // The clock wraps around; too small a screen neither draws nor retires.
    NoticeOverlay::Show(1, 25, NoticeOverlay::MembersKilled, 0xFFFFF000u);
    EXPECT_EQ(Frame(0x100).size(), 2u);
    const size_t reads = sim::renderLog.stateReads.size();
    const int tinyScreens[][2] = {{159, 600}, {800, 119}, {-800, 600}};
    for (const auto& screen : tinyScreens) EXPECT_TRUE(Frame(0x100000, 0, screen[0], screen[1]).empty());
    EXPECT_TRUE(lineSlot.duration == 5000 && sim::LiveRasters() == 1 && sim::renderLog.stateReads.size() == reads);
    EXPECT_EQ(Frame(0x101, 0, 160, 120).size(), 2u);  // the smallest screen that is drawn on
    EXPECT_EQ(Frame(0x387).size(), 2u);
    EXPECT_TRUE(Frame(0x388).empty());

    NoticeOverlay::Show(3, 300, NoticeOverlay::BroughtToKnees, 20000);
    ASSERT_EQ(Frame(20010).size(), 4u);
    NoticeOverlay::Reset();
    EXPECT_TRUE(Frame(20020).empty());
    EXPECT_TRUE(sim::LiveRasters() == 0 && bannerTexture.raster == nullptr && lineTexture.raster == nullptr);

    // An empty text is never drawn, but its time runs out all the same.
    NoticeOverlay::Show(1, 25, static_cast<NoticeOverlay::Kind>(7), 30000);
    EXPECT_TRUE(Frame(34999).empty() && lineSlot.duration == 5000);
    EXPECT_TRUE(Frame(35000).empty() && lineSlot.duration == 0);
    EXPECT_EQ(RastersCreated(), 5);
}

// On a very tall screen the wrap width is 1, one word a line: a text more
// than 250 reference pixels high is never drawn. No notice of the shipped font
// gets there (the banner's five words measure 240, the longest line's nine
// 243), so a banner style with a larger font takes it across: five lines of
// 49 pixels are drawn in a 256-high texture, five of 51 are refused.
TEST_F(NoticeRender, TextBeyondTheLargestTextureIsNeverDrawn) {
    EXPECT_EQ(NoticeWrapWidth(160, 60000), 1);
    for (const int32_t fontHeight : {-44, -45}) {
        SCOPED_TRACE(fontHeight);
        const LONG height = ReferenceCanvas(fontHeight).Measure(L"Triads brought to their knees!", 1).bottom;
        EXPECT_EQ(fontHeight == -44 ? 245 : 255, height) << "the font in use";
        NoticeStyle tall = kBannerStyle;
        tall.fontHeight = fontHeight;
        NoticeOverlay::Show(0, 300, NoticeOverlay::BroughtToKnees, 0);
        DrawSlot(bannerSlot, bannerTexture, 10, NoticeLanguage::English, 160, 60000, tall);
        EXPECT_EQ(bannerTexture.raster != nullptr, height <= 250);
        if (bannerTexture.raster) EXPECT_TRUE(bannerTexture.boxHeight == 251 && bannerTexture.textureHeight == 256);
        NoticeOverlay::Reset();
        Frame(20);
    }
    EXPECT_EQ(sim::LiveRasters(), 0);

    // The edges themselves, with GDI made to measure what no shipped text
    // does: a box must fit a 1024 x 256 texture, and a failed or empty
    // measurement draws nothing.
    struct Measured {
        int width, height, result;
        int32_t textureWidth, textureHeight;  // 0: no texture
    };
    static Measured measured;
    const Measured table[] = {{1018, 250, 250, 1024, 256}, {1019, 20, 20, 0, 0}, {20, 251, 251, 0, 0},
                              {1, 1, 1, 8, 8},             {0, 20, 20, 0, 0},    {20, 0, 20, 0, 0},
                              {20, 20, 0, 0, 0}};
    faults::afterDrawText = [](UINT format, RECT* rect, int* result) {
        if (!(format & DT_CALCRECT)) return;
        rect->right = rect->left + measured.width;
        rect->bottom = rect->top + measured.height;
        *result = measured.result;
    };
    for (const Measured& m : table) {
        SCOPED_TRACE(testing::Message() << m.width << "x" << m.height << " measured " << m.result);
        measured = m;
        NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, 0);
        Frame(10);
        EXPECT_EQ(lineTexture.textureWidth, m.textureWidth);
        EXPECT_EQ(lineTexture.textureHeight, m.textureHeight);
        EXPECT_EQ(lineTexture.raster != nullptr, m.textureWidth != 0);
        NoticeOverlay::Reset();
        Frame(20);
    }
    faults::afterDrawText = nullptr;
}

// The font the notices are set in, as Windows picks it: bold Arial (under
// Wine its metric twin Liberation Sans), whose glyphs cover Cyrillic, at the
// style's height. A wrong face, weight or character set shows here even where
// it would render alike.
TEST_F(NoticeRender, NoticesAreSetInBoldArialWithCyrillicGlyphs) {
    struct Seen {
        LOGFONTW requested;
        wchar_t face[LF_FACESIZE];
        TEXTMETRICW metrics;
        bool cyrillic;
    };
    static std::vector<Seen> seen;
    seen.clear();
    faults::onDrawText = [](HDC dc, const wchar_t*) {
        Seen s = {};
        GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof s.requested, &s.requested);
        GetTextFaceW(dc, LF_FACESIZE, s.face);
        GetTextMetricsW(dc, &s.metrics);
        WORD glyphs[5] = {};
        s.cyrillic = GetGlyphIndicesW(dc, L"\u0423\u0431\u0438\u0442\u043E", 5, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == 5 &&
                     std::count(glyphs, glyphs + 5, 0xFFFF) == 0;
        seen.push_back(s);
    };
    NoticeOverlay::Show(2, 300, NoticeOverlay::BroughtToKnees, 0);
    Frame(10, 1);
    faults::onDrawText = nullptr;
    ASSERT_EQ(seen.size(), 4u);  // measure and draw, banner then line
    for (size_t i = 0; i < seen.size(); ++i) {
        const Seen& s = seen[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(std::wstring(s.requested.lfFaceName), L"Arial");
        EXPECT_EQ(s.requested.lfHeight, i < 2 ? -43 : -24);
        EXPECT_EQ(s.requested.lfWeight, FW_BOLD);
        EXPECT_EQ(0, s.requested.lfWidth | s.requested.lfEscapement | s.requested.lfOrientation);  // upright, as designed
        EXPECT_EQ(s.requested.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(s.requested.lfQuality, ANTIALIASED_QUALITY);
        EXPECT_TRUE(std::wstring(s.face) == L"Arial" || std::wstring(s.face) == L"Liberation Sans")
            << testing::PrintToString(std::wstring(s.face));
        EXPECT_EQ(s.metrics.tmWeight, FW_BOLD);
        EXPECT_EQ(s.metrics.tmHeight, i < 2 ? 48 : 27);  // Arial's line heights at 43 and 24 pixels
        EXPECT_TRUE(s.cyrillic);
    }
}

// Every text of every language, with a ten-digit count, is drawn at 800 x 600:
// none measures wider than 1018 or higher than 250 reference pixels.
TEST_F(NoticeRender, EveryTextOfEveryLanguageFitsAt800x600) {
    for (uint32_t language = 0; language < 6; ++language) {
        for (uint32_t gang = 0; gang < 4; ++gang) {
            for (uint32_t kind = 0; kind <= 4; ++kind) {
                const bool banner = kind == NoticeOverlay::BroughtToKnees;
                NoticeSlot slot = {gang, 4294967295u, kind, 0, 5000};
                NoticeTexture& texture = banner ? bannerTexture : lineTexture;
                DrawSlot(slot, texture, 10, static_cast<NoticeLanguage>(language), 800, 600,
                         banner ? kBannerStyle : kLineStyle);
                EXPECT_NE(texture.raster, nullptr) << "language " << language << " gang " << gang << " kind " << kind;
                slot.duration = 0;
                DrawSlot(slot, texture, 20, NoticeLanguage::English, 800, 600, kLineStyle);
            }
        }
    }
    // German's survivors line with one digit measures 506: a box of exactly
    // 512 takes a texture of 512, not the next power of two.
    NoticeSlot survivors = {0, 1, NoticeOverlay::SurvivorsKeepDistance, 0, 5000};
    DrawSlot(survivors, lineTexture, 10, NoticeLanguage::German, 800, 600, kLineStyle);
    EXPECT_TRUE(lineTexture.boxWidth == 512 && lineTexture.textureWidth == 512) << lineTexture.boxWidth;
    survivors.duration = 0;
    DrawSlot(survivors, lineTexture, 20, NoticeLanguage::German, 800, 600, kLineStyle);
    EXPECT_EQ(sim::LiveRasters(), 0);
}

// Each step of making the texture failing once: nothing is drawn, no GDI
// object or raster is left, and the next frame makes the texture.
TEST_F(NoticeRender, TextureFailuresRetryOnTheNextFrameWithoutLeaks) {
    struct Case {
        const char* what;
        faults::Api api;  // a GDI call failing, or kApiCount for a host raster fault
        int nth;
        sim::RenderFaults raster;
        int rastersMade;
    };
    const Case cases[] = {
        {"context", faults::kCreateCompatibleDC, 1, kNoRasterFault, 0},
        {"font", faults::kCreateFontW, 1, kNoRasterFault, 0},
        {"font selection", faults::kSelectObject, 1, kNoRasterFault, 0},
        {"measure", faults::kDrawTextW, 1, kNoRasterFault, 0},
        {"bitmap", faults::kCreateDIBSection, 1, kNoRasterFault, 0},
        {"bitmap selection", faults::kSelectObject, 2, kNoRasterFault, 0},
        {"draw", faults::kDrawTextW, 2, kNoRasterFault, 0},
        {"raster create", faults::kApiCount, 0, {1, 0, 32, 0, 0, 0}, 0},
        {"raster lock", faults::kApiCount, 0, {0, 1, 32, 0, 0, 0}, 1},
        {"raster depth 16", faults::kApiCount, 0, {0, 0, 16, 0, 0, 0}, 1},
        {"raster stride short", faults::kApiCount, 0, {0, 0, 32, -4, 0, 0}, 1},
    };
    uint32_t now = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, now);
        const int created = RastersCreated();
        if (c.api != faults::kApiCount) faults::FailCall(c.api, c.nth);
        sim::renderFaults = c.raster;
        if (c.raster.rasterCreateFailsAt) sim::renderFaults.rasterCreateFailsAt += sim::renderLog.rasterCreates;
        if (c.raster.rasterLockFailsAt) sim::renderFaults.rasterLockFailsAt += sim::renderLog.rasterLocks;

        EXPECT_TRUE(Frame(now + 10).empty());
        EXPECT_EQ(faults::LiveGdiObjects(), gdiBefore);
        EXPECT_EQ(sim::LiveRasters(), 0);
        for (const sim::RasterInfo& raster : sim::renderLog.rasters) EXPECT_EQ(raster.locks, raster.unlocks);
        EXPECT_TRUE(lineTexture.raster == nullptr && lineTexture.text[0] == 0 && lineSlot.duration == 5000);
        EXPECT_EQ(RastersCreated(), created + c.rastersMade);

        faults::Clear();
        sim::renderFaults = kNoRasterFault;
        EXPECT_EQ(Frame(now + 20).size(), 2u);
        EXPECT_EQ(sim::LiveRasters(), 1);
        NoticeOverlay::Reset();
        Frame(now + 30);
        now += 100;
    }
}

// Each Windows call of making a texture failing in turn: no GDI object is left
// (but one whose deletion Windows refused) and no raster; the texture shows
// the text whole, or none is made and the next frame makes it.
TEST_F(NoticeRender, EachFailingWindowsCallOfATextureLeavesNothingBehind) {
    using namespace faults;
    uint32_t now = 0;
    int gdi = 0;
    std::wstring text;
    Draws draws;
    Sweep(
        "texture",
        [&] {
            NoticeOverlay::Reset();
            Frame(now += 100);
            NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, now);
            gdi = LiveGdiObjects();
        },
        [&] { draws = Frame(now + 10); },
        [&](Api failed) {
            const int refusedDeletes = failed == kDeleteObject || failed == kDeleteDC;
            EXPECT_EQ(LiveGdiObjects(), gdi + refusedDeletes);
            gdiBefore += refusedDeletes;  // Windows keeps what it refused to delete
            for (const sim::RasterInfo& raster : sim::renderLog.rasters) EXPECT_EQ(raster.locks, raster.unlocks);
            EXPECT_EQ(lineSlot.duration, 5000u);
            if (failed == kApiCount) text = lineTexture.text;
            if (!lineTexture.raster) {
                EXPECT_FALSE(refusedDeletes);
                EXPECT_TRUE(draws.empty());
                EXPECT_EQ(sim::LiveRasters(), 0);
                const uint8_t* record = reinterpret_cast<const uint8_t*>(&lineTexture);
                EXPECT_TRUE(std::all_of(record, record + sizeof lineTexture, [](uint8_t b) { return b == 0; }));
                draws = Frame(now + 20);
            }
            EXPECT_EQ(sim::LiveRasters(), 1);
            ExpectTextureShows(lineTexture, text, -24, 704);
            ExpectShadowAndText(draws, 0, lineTexture, 800, 600, kLineLook);
        });
}

}  // namespace
