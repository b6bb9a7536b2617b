// The notice overlay of the shipped module over the simulated host's frames:
// notices put up through the exported operations (as another plugin would)
// and by the plugin's own war on the gangs, drawn, composited, switched off,
// hidden and retired.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim.h"
#include "support/plugin_session.h"
#include "world.h"
#include "world_peds.h"
#include "world_render.h"

namespace {

using Draws = std::vector<const sim::DrawRecord*>;
using ShowFn = void (*)(unsigned int gang, unsigned int count, uint32_t kind, unsigned int now);
using ResetFn = void (*)();
using DrawFn = void (*)(unsigned int now, int language, int width, int height);
constexpr uint32_t kMilestone = 0, kBanner = 4;
constexpr uint32_t kBackground = 0x5A6A7E;

// One frame of the game, `ms` after the last: the world update, then the drawing.
Draws Frame(uint32_t ms = 50) {
    sim::AdvanceClock(ms);
    const sim::CallResult update = sim::CallHost(sim::addr::SiteWorldUpdate, {}, false);
    const sim::CallResult draw = sim::CallHost(sim::addr::SiteRenderFrame, {}, false);
    EXPECT_TRUE(update.registersKept && update.stackBalanced && draw.registersKept && draw.stackBalanced);
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
    template <typename Fn>
    Fn Export(const PluginSession& session, const char* name) {
        return reinterpret_cast<Fn>(session.Export(name));
    }
    void Show(const PluginSession& session, uint32_t gang, uint32_t count, uint32_t kind) {
        Export<ShowFn>(session, "_ZN13NoticeOverlay4ShowEjjNS_4KindEj")(gang, count, kind, sim::Clock());
    }
};

TEST_F(OverlaySession, ExportsUnderBothNamesPutUpAndDrawNotices) {
    PluginSession session(L"overlay-exports");
    ASSERT_TRUE(session.Load());
    const auto show = Export<ShowFn>(session, "_ZN13NoticeOverlay4ShowEjjNS_4KindEj");
    const auto reset = Export<ResetFn>(session, "_ZN13NoticeOverlay5ResetEv");
    const auto draw = Export<DrawFn>(session, "_ZN13NoticeOverlay4DrawEjiii");
    ASSERT_TRUE(show && reset && draw);
    EXPECT_EQ(show, Export<ShowFn>(session, "?Show@NoticeOverlay@@YAXIIW4Kind@1@I@Z"));
    EXPECT_EQ(reset, Export<ResetFn>(session, "?Reset@NoticeOverlay@@YAXXZ"));
    EXPECT_EQ(draw, Export<DrawFn>(session, "?Draw@NoticeOverlay@@YAXIHHH@Z"));

    // Another plugin drawing the overlay itself, outside the hooked routine.
    show(2, 50, kMilestone, 1000);
    draw(1100, 0, 1024, 768);
    Draws draws = sim::DrawsOfFrame(sim::renderLog.frame);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_FLOAT_EQ(CentreX(draws[1]), 512.0f);
    reset();
    draw(1200, 0, 1024, 768);
    EXPECT_EQ(sim::LiveRasters(), 0);

    sim::SetClock(20000);
    show(1, 300, kBanner, sim::Clock());  // drawn by the hooked frame routine
    draws = Frame();
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_FLOAT_EQ(CentreY(draws[1]), 600 * 0.41f);
    EXPECT_EQ(Colour(draws[1]), 0xFFEFBD72u);
    EXPECT_FLOAT_EQ(CentreY(draws[3]), 600 * 0.83f);

    // A 1280 x 720 window on a 1920 x 1080 desktop: placed for the window.
    sim::SetScreen(1280, 720, 1920, 1080);
    draws = Frame();
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_FLOAT_EQ(CentreX(draws[3]), 640.0f);
    EXPECT_FLOAT_EQ(CentreY(draws[3]), 720 * 0.83f);
}

// What the player sees: the frame composited, the text centred and shadowed.
TEST_F(OverlaySession, CompositedLineIsCentredReadableAndShadowed) {
    PluginSession session(L"overlay-picture");
    ASSERT_TRUE(session.Load());
    sim::SetScreen(1920, 1080);
    sim::SetClock(5000);
    Show(session, 0, 75, kMilestone);
    ASSERT_EQ(Frame().size(), 2u);

    const sim::Frame frame = sim::CompositeFrame(sim::renderLog.frame, 1920, 1080, kBackground);
    int left = 1920, right = -1, top = 1080, bottom = -1, bright = 0, dark = 0;
    for (int y = 0; y < 1080; ++y) {
        for (int x = 0; x < 1920; ++x) {
            const uint8_t* p = &frame.rgb[(y * 1920 + x) * 3];
            if ((p[0] << 16 | p[1] << 8 | p[2]) == static_cast<int>(kBackground)) continue;
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
    EXPECT_TRUE(right - left > 400 && bottom - top < 70);

    const std::vector<uint8_t> png = sim::EncodePng(frame);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_LT(png.size(), 400000u);
}

TEST_F(OverlaySession, SwitchedOffNotificationsAndHostGatesShowNothing) {
    PluginSession session(L"overlay-off");
    session.WriteSettings("EnableNotifications=0\r\n");
    ASSERT_TRUE(session.Load());
    sim::SetClock(1000);
    Show(session, 3, 25, kMilestone);
    EXPECT_TRUE(Frame().empty());
    EXPECT_TRUE(Frame().empty());
    EXPECT_TRUE(sim::renderLog.rasters.empty());
    session.Unload();

    PluginSession gated(L"overlay-gated");
    ASSERT_TRUE(gated.Load());
    sim::SetOverlayGate(1, 1);
    Show(gated, 3, 50, kMilestone);
    EXPECT_TRUE(Frame().empty());
    sim::SetOverlayGate(1, 0);
    EXPECT_EQ(Frame().size(), 2u);
    const int hostRuns = sim::routines.runs[7];

    // Unloading puts the host's routine back and gives the texture held back to the host.
    gated.Unload();
    EXPECT_TRUE(sim::SitesPristine());
    EXPECT_TRUE(Frame().empty());
    EXPECT_EQ(sim::routines.runs[7], hostRuns + 1);
    EXPECT_EQ(sim::LiveRasters(), 0);
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
    Draws draws;
    for (int i = 0; i < 10 && draws.empty(); ++i) draws = Frame(250);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(Colour(draws[1]), 0xFFF4F4F4u);
    EXPECT_FLOAT_EQ(CentreY(draws[1]), 600 * 0.83f);
    const int raster = draws[1]->rasterId;

    Show(session, 0, 25, kMilestone);
    draws = Frame();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1]->rasterId, raster) << "the text differs from \"Triads members killed: 25\"";
    EXPECT_EQ(sim::renderLog.rasters.size(), 1u);
}

}  // namespace
// What the player reads, in every grammatical number of every language, and
// the language Language=auto picks from the game's word and from Windows' UI
// language and user locale.
TEST_F(OverlaySession, EveryLanguageGivesEachCountItsGrammaticalNumber) {
    struct Windows {
        uint16_t ui, locale;
    };
    const Windows en{sim::kEnglishUs, sim::kEnglishUs}, ru{sim::kRussian, sim::kRussian},
        ukLocale{sim::kEnglishUs, sim::kUkrainian}, beUi{sim::kBelarusian, sim::kEnglishUs};
    struct Case {
        const char* setting;
        Windows windows;
        uint32_t word, gang, kind, count;
        const char* text;  // a banner, then its follow-up line after " / "
    };
    const Case cases[] = {
        {"ru", en, 0, 0, 0, 1, u8"Убит — 1 человек из Триады."},
        {"ru", en, 0, 1, 0, 2, u8"Убито — 2 человека из семьи Леоне."},
        {"ru", en, 0, 2, 0, 11, u8"Убито — 11 человек из Колумбийского картеля."},
        {"ru", en, 0, 3, 0, 112, u8"Убито — 112 человек из банды Ярди."},
        {"ru", en, 0, 0, 0, 25, u8"Убито — 25 человек из Триады."},
        {"ru", en, 0, 1, 1, 21, u8"Убит — 21 боец семьи Леоне. Их влияние сокращается!"},
        {"ru", en, 0, 2, 1, 3, u8"Убито — 3 бойца Колумбийского картеля. Их влияние сокращается!"},
        {"ru", en, 0, 3, 1, 12, u8"Убито — 12 бойцов банды Ярди. Их влияние сокращается!"},
        {"ru", en, 0, 0, 2, 101, u8"Убит — 101 боец Триады. Они теряют улицы!"},
        {"ru", en, 0, 1, 2, 4, u8"Убито — 4 бойца семьи Леоне. Они теряют улицы!"},
        {"ru", en, 0, 2, 2, 14, u8"Убито — 14 бойцов Колумбийского картеля. Они теряют улицы!"},
        {"ru", en, 0, 3, 3, 22, u8"Убито — 22 бойца. Уцелевшие избегают тебя."},
        {"ru", en, 0, 3, 3, 5, u8"Убито — 5 бойцов. Уцелевшие избегают тебя."},
        {"ru", en, 0, 3, 3, 111, u8"Убито — 111 бойцов. Уцелевшие избегают тебя."},
        {"ru", en, 0, 1, 4, 1, u8"Леоне на коленях! / Убит — 1 боец. Уцелевшие избегают тебя."},
        {"fr", en, 0, 3, 0, 1, u8"Yardies\u00A0: 1 membre tué"},
        {"fr", en, 0, 0, 1, 0, u8"Triades\u00A0: influence en baisse. 0 tué."},
        {"fr", en, 0, 1, 2, 2, u8"Famille Leone\u00A0: en recul. 2 tués."},
        {"fr", en, 0, 1, 4, 1, u8"Les Leone à genoux\u00A0! / 1 tué. Les survivants gardent leurs distances."},
        {"de", en, 0, 3, 0, 1, u8"Yardies: 1 Mitglied getötet"},
        {"de", en, 0, 0, 0, 21, u8"Triaden: 21 Mitglieder getötet"},
        {"de", en, 0, 1, 4, 1,
         u8"Die Leones in\u00A0die\u00A0Knie\u00A0gezwungen! / 1 getötet. Die Überlebenden halten Abstand."},
        {"it", en, 0, 3, 0, 1, u8"Yardie: 1 membro ucciso"},
        {"it", en, 0, 3, 1, 101, u8"Yardie: influenza in calo. 101 uccisi."},
        {"it", en, 0, 1, 4, 1, u8"I Leone in ginocchio! / 1 ucciso. I superstiti mantengono le distanze."},
        {"es", en, 0, 3, 0, 1, u8"Jamaicanos: 1 miembro abatido"},
        {"es", en, 0, 3, 2, 0, u8"Jamaicanos: en retirada. 0 abatidos."},
        {"es", en, 0, 2, 4, 1, u8"¡El Cártel de rodillas! / 1 abatido. Los supervivientes guardan las distancias."},
        {"es", en, 0, 1, 4, 2, u8"¡Los Leone de rodillas! / 2 abatidos. Los supervivientes guardan las distancias."},
        {"en", ru, 2, 0, 0, 1, u8"Triads members killed: 1"},
        {"auto", en, 0, 1, 0, 1, u8"Leone family members killed: 1"},
        {"auto", en, 1, 1, 0, 1, u8"Famille Leone\u00A0: 1 membre tué"},
        {"auto", en, 2, 1, 0, 1, u8"Leone-Familie: 1 Mitglied getötet"},
        {"auto", en, 3, 1, 0, 1, u8"Famiglia Leone: 1 membro ucciso"},
        {"auto", en, 4, 1, 0, 1, u8"Familia Leone: 1 miembro abatido"},
        {"auto", en, 7, 1, 0, 1, u8"Убит — 1 человек из семьи Леоне."},
        {"auto", ru, 0, 1, 0, 1, u8"Leone family members killed: 1"},
        {"auto", ru, 1, 1, 0, 1, u8"Убит — 1 человек из семьи Леоне."},
        {"auto", ru, 2, 1, 0, 2, u8"Убито — 2 человека из семьи Леоне."},
        {"auto", ru, 3, 1, 0, 1, u8"Убит — 1 человек из семьи Леоне."},
        {"auto", ru, 4, 1, 0, 2, u8"Убито — 2 человека из семьи Леоне."},
        {"auto", ru, 7, 1, 0, 1, u8"Убит — 1 человек из семьи Леоне."},
        {"auto", ukLocale, 2, 1, 0, 1, u8"Убит — 1 человек из семьи Леоне."},
        {"auto", beUi, 4, 1, 0, 1, u8"Убит — 1 человек из семьи Леоне."},
    };
    std::unique_ptr<PluginSession> session;
    const Case* loaded = nullptr;
    for (const Case& c : cases) {
        if (!loaded || strcmp(c.setting, loaded->setting) != 0 || c.windows.ui != loaded->windows.ui ||
            c.windows.locale != loaded->windows.locale) {
            session.reset();  // Windows' languages are read when the module starts
            sim::SetWindowsLanguage(c.windows.ui, c.windows.locale);
            session.reset(new PluginSession(L"overlay-languages"));
            session->WriteSettings(std::string("Language=") + c.setting + "\r\n");
            ASSERT_TRUE(session->Load());
            sim::TraceRenderedTexts(session->module);
            loaded = &c;
        }
        sim::SetLanguage(c.word);
        Export<ResetFn>(*session, "_ZN13NoticeOverlay5ResetEv")();
        Frame();  // releases the textures, so that every notice is rendered anew
        sim::trace.clear();
        Show(*session, c.gang, c.count, c.kind);
        Frame();
        std::string texts;
        for (const std::string& line : sim::trace)
            if (line.compare(0, 6, "text \"") == 0)
                texts += (texts.empty() ? "" : " / ") + line.substr(6, line.size() - 7);
        EXPECT_EQ(texts, c.text) << c.setting << " word " << c.word << " gang " << c.gang << " kind " << c.kind
                                 << " count " << c.count;
    }
}
