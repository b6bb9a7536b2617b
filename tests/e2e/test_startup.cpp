// The shipped Quellbrand.asi loaded into the simulated host as an ASI loader
// loads it: start-up, frames through the hooked routines, unload.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim.h"
#include "support/plugin_session.h"
#include "support/test_files.h"
#include "world.h"
#include "world_peds.h"
#include "world_render.h"
#include "world_saves.h"

namespace {

constexpr char kReady[] = "Quellbrand 0.4.4 READY: GTA III 1.0 x86, eight hooks.";
constexpr char kDisabled[] = "Quellbrand DISABLED: unsupported executable or hook conflict.";

class Startup : public testing::Test {
protected:
    void SetUp() override { sim::InstallHost(); }
    void TearDown() override {
        sim::LockHostCode(-1);
        sim::SetHostBuild(sim::HostBuild::V10);
    }
};

TEST_F(Startup, LoadsPatchesRunsFramesAndRestoresOnUnload) {
    PluginSession session(L"startup");
    ASSERT_TRUE(session.Load());
    EXPECT_EQ(std::vector<std::string>{kReady}, session.LogLines());
    EXPECT_EQ(8, PatchedSiteCount());

    sim::routines = sim::RoutineLog{};
    // The host's routine makes the pool the tick looks at: the tick, which runs
    // after it, finds the world ready on the very first frame.
    sim::SetPoolPointerNull(true);
    sim::onWorldUpdate = [] { sim::SetPoolPointerNull(false); };
    for (int frame = 0; frame < 20; ++frame) {
        sim::AdvanceClock(50);
        const sim::CallResult update = sim::CallHost(sim::addr::SiteWorldUpdate, {}, false, 0xAAAA5555, 0x5555AAAA);
        const sim::CallResult draw = sim::CallHost(sim::addr::SiteRenderFrame, {}, false);
        ASSERT_TRUE(update.registersKept && update.stackBalanced && draw.registersKept && draw.stackBalanced);
        if (frame == 0) EXPECT_EQ("WORLD READY: player and pedestrian pool resolved.", session.LogLines().at(1));
    }
    sim::onWorldUpdate = nullptr;
    EXPECT_EQ(20, sim::routines.runs[0]);
    EXPECT_EQ(20, sim::routines.innerRuns);
    EXPECT_EQ(20, sim::routines.runs[7]);
    EXPECT_EQ(0xAAAA5555u, sim::routines.innerEcx);
    EXPECT_EQ(0x5555AAAAu, sim::routines.innerEdx);

    session.Unload();
    EXPECT_TRUE(sim::SitesPristine());
    EXPECT_EQ(0, PatchedSiteCount());
    EXPECT_EQ(nullptr, GetModuleHandleW(session.AsiPath().c_str()));
    // Unloading writes nothing; the frames wrote the world's first lines only.
    const std::vector<std::string> lines = session.LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(kReady, lines.front());
    for (const std::string& line : lines) EXPECT_EQ(std::string::npos, line.find("<no CRLF>")) << line;
}

// Another plugin putting up a notice and drawing the overlay itself, as
// QuellbrandNotices.h allows: true when no raster was made and nothing drawn.
bool AnotherPluginsNoticeStaysUnseen(const PluginSession& session) {
    using ShowFn = void (*)(unsigned, unsigned, uint32_t, unsigned);
    using DrawFn = void (*)(unsigned, int, int, int);
    reinterpret_cast<ShowFn>(session.Export("_ZN13NoticeOverlay4ShowEjjNS_4KindEj"))(0, 25, 0, 1000);
    reinterpret_cast<DrawFn>(session.Export("_ZN13NoticeOverlay4DrawEjiii"))(1100, 0, 800, 600);
    return sim::LiveRasters() == 0 && sim::DrawsOfFrame(sim::renderLog.frame).empty();
}

// 1.9999999403953552 lies just beyond the midpoint between 2 and the float
// below it: it reads as that float, below the range.
TEST_F(Startup, ReadsItsSettingsFileFromItsOwnFolder) {
    for (const char* notificationsOff : {"Enabled=0", "EnableNotifications=0"}) {
        PluginSession session(L"startup-ini");
        session.WriteSettings(std::string(notificationsOff) + "\r\nFearRadius=1.9999999403953552\r\n");
        ASSERT_TRUE(session.Load());
        EXPECT_EQ((std::vector<std::string>{"SETTING FearRadius=\"1.9999999403953552\" out of range; 20 used", kReady}),
                  session.LogLines());
        EXPECT_EQ(8, PatchedSiteCount());  // hooks go in whatever the settings say
        EXPECT_TRUE(AnotherPluginsNoticeStaysUnseen(session)) << notificationsOff;
        session.Unload();
        EXPECT_TRUE(sim::SitesPristine());
    }
}

// Other builds of the game, an unknown program and a 1.0 executable with
// other header fields: each refused, named in the HOST line and left alone.
TEST_F(Startup, AnotherBuildOfTheGameIsRefusedNamedAndLeftAlone) {
    struct Case {
        sim::HostBuild build;
        uint32_t timeDateStamp;  // 0: the build's own
        std::string host;
        uint32_t alsoEntryPoint;  // another build's entry point that holds the entry-point word too
    };
    const Case cases[] = {
        {sim::HostBuild::V11, 0, "HOST: GTA III 1.1 found; this plugin needs 1.0."},
        {sim::HostBuild::Steam, 0, "HOST: GTA III Steam build found; this plugin needs 1.0."},
        {sim::HostBuild::Unknown, 0,
         "HOST: unknown program found (TimeDateStamp 5E1F2A33, SizeOfImage 00024000); this plugin needs GTA III 1.0."},
        {sim::HostBuild::V10, 0x3CCECE15,
         "HOST: modified GTA III 1.0 found (TimeDateStamp 3CCECE15, SizeOfImage 00582000); this plugin needs the "
         "unmodified 1.0."},
        {sim::HostBuild::V11, 0,
         "HOST: unknown program found (TimeDateStamp 3D0A7E52, SizeOfImage 00587000); this plugin needs GTA III 1.0.",
         sim::addr::EntryPoint10},
    };
    for (const Case& c : cases) {
        sim::SetHostBuild(c.build);
        if (c.timeDateStamp) sim::SetHeaderTimeDateStamp(c.timeDateStamp);
        if (c.alsoEntryPoint) sim::Mem<uint32_t>(c.alsoEntryPoint) = sim::addr::EntryPointWord;
        PluginSession session(L"startup-build");
        ASSERT_TRUE(session.Load());
        EXPECT_EQ((std::vector<std::string>{c.host, kDisabled}), session.LogLines());
        EXPECT_TRUE(sim::SitesPristine());
        EXPECT_TRUE(AnotherPluginsNoticeStaysUnseen(session));  // not in a build whose routines differ
        sim::routines = sim::RoutineLog{};
        sim::RunFrame();
        EXPECT_EQ(1, sim::routines.runs[0]);
        session.Unload();
        EXPECT_TRUE(sim::SitesPristine());
    }
}

// A routine another mod took over, whatever form its jump or call takes: the
// mismatch line, then a CONFLICT line naming that mod's file.
TEST_F(Startup, ASiteTakenOverByAnotherModNamesThatMod) {
    struct Case {
        uint32_t site;
        sim::OtherModPatch form;
        const char* address;
    };
    const Case cases[] = {
        {sim::addr::SiteRenderFrame, sim::OtherModPatch::Jump, "00509030"},
        {sim::addr::SiteZoneInfo, sim::OtherModPatch::Call, "004B6FB0"},
        {sim::addr::SiteKillCredit, sim::OtherModPatch::ShortJump, "00420F60"},
        {sim::addr::SiteGameInit, sim::OtherModPatch::IndirectJump, "004AAC60"},
    };
    for (const Case& c : cases) {
        sim::InstallHost();
        ASSERT_TRUE(sim::PlaceOtherModPatch(c.site, c.form)) << "widescreen.asi next to quellhost.exe";
        PluginSession session(L"startup-other-mod");
        ASSERT_TRUE(session.Load());
        EXPECT_EQ((std::vector<std::string>{std::string("DISABLED: code signature mismatch at ") + c.address + ".",
                                            std::string("CONFLICT: ") + c.address + " is patched by widescreen.asi",
                                            kDisabled}),
                  session.LogLines());
        EXPECT_TRUE(AnotherPluginsNoticeStaysUnseen(session)) << c.address;  // the plugin is off
    }
    sim::InstallHost();
}

TEST_F(Startup, ForeignBytesAtTheZoneRoutineAreRefusedWithTheirAddress) {
    sim::Mem<uint8_t>(sim::addr::SiteZoneInfo) = 0xE9;
    const std::vector<uint8_t> before = sim::ReadBytes(sim::addr::SiteWorldUpdate, 16);
    PluginSession session(L"startup-foreign");
    ASSERT_TRUE(session.Load());
    EXPECT_EQ((std::vector<std::string>{"DISABLED: code signature mismatch at 004B6FB0.", kDisabled}),
              session.LogLines());
    EXPECT_EQ(before, sim::ReadBytes(sim::addr::SiteWorldUpdate, 16));
    EXPECT_EQ(1, PatchedSiteCount());  // only the foreign jump
}

TEST_F(Startup, ASecondLoadAfterAnUnloadStartsAgain) {
    PluginSession first(L"startup-again");
    ASSERT_TRUE(first.Load());
    first.Unload();
    ASSERT_TRUE(first.Load());
    EXPECT_EQ((std::vector<std::string>{kReady, kReady}), first.LogLines());
    EXPECT_EQ(8, PatchedSiteCount());
}

// The game calls each of the eight routines once, at its site.
void CallEveryHookedRoutine(const PluginSession& session) {
    sim::SetSaveFolder(testfiles::Narrow(session.folder) + "\\saves");
    uint8_t* member = sim::SpawnPed(5, 7, 3, 0, 0);
    sim::RunFrame();
    sim::CreditKill(member);
    sim::DamagePed(member, sim::Player(), 1.0f);
    sim::LookUpZone(1);
    sim::StartNewGame();
    sim::SaveGame(1);
    sim::LoadGame(1);
}

void ExpectEveryRoutineRanOnce() {
    for (int hook = 0; hook < 8; ++hook) EXPECT_EQ(1, sim::routines.runs[hook]) << "routine of hook " << hook;
}

// Jumps the unload cannot take back: sites the game's code does not let the
// plugin write back, and a jump into the plugin another mod copied when it
// hooked over it. Windows unmaps the module all the same; each such jump
// must then run the game's routine.
TEST_F(Startup, JumpsLeftBehindAtUnloadRunTheGamesRoutinesAfterTheModuleIsGone) {
    struct Case {
        const char* what;
        int lockAfter;      // protection changes allowed before the lock; < 0: none
        bool chainBefore;   // another mod hooks over the zone routine's jump
        int patchedAfter;   // sites still jumping after the unload
    };
    const Case cases[] = {
        {"code locked before the unload", -1, false, 8},
        {"rollback refused at start", 6, false, 3},
        {"jump copied by another mod", -1, true, 1},
    };
    for (const Case& c : cases) {
        sim::InstallHost();
        if (c.lockAfter >= 0) sim::LockHostCode(c.lockAfter);
        PluginSession session(L"startup-left-behind");
        ASSERT_TRUE(session.Load()) << c.what;
        if (c.lockAfter < 0 && !c.chainBefore) sim::LockHostCode(0);
        ASSERT_TRUE(!c.chainBefore || sim::ChainThroughSite(sim::addr::SiteZoneInfo));
        session.Unload();
        EXPECT_EQ(c.patchedAfter, PatchedSiteCount()) << c.what;
        EXPECT_EQ(nullptr, GetModuleHandleW(session.AsiPath().c_str())) << c.what;
        sim::routines = sim::RoutineLog{};
        CallEveryHookedRoutine(session);
        ExpectEveryRoutineRanOnce();
        EXPECT_EQ(c.chainBefore ? 1 : 0, sim::ChainedRuns()) << c.what;
        sim::LockHostCode(-1);
    }
    sim::InstallHost();  // the jumps left behind go; later suites start from the game's own bytes
}

// A controller mod's call at the world update, written before the plugin
// loads or after it started.
TEST_F(Startup, AControllerModsCallAtTheWorldUpdateIsChainedOrReported) {
    for (const bool before : {true, false}) {
        sim::InstallHost();
        if (before) ASSERT_TRUE(sim::PlaceOtherModPatch(sim::addr::SiteWorldUpdate, sim::OtherModPatch::PadCall));
        std::vector<uint8_t> modsCall = sim::ReadBytes(sim::addr::SiteWorldUpdate, 5);
        PluginSession session(L"startup-controller-mod");
        ASSERT_TRUE(session.Load());
        if (!before) {
            sim::RunFrame();
            ASSERT_TRUE(sim::PlaceOtherModPatch(sim::addr::SiteWorldUpdate, sim::OtherModPatch::PadCall));
            modsCall = sim::ReadBytes(sim::addr::SiteWorldUpdate, 5);
        }
        sim::routines = sim::RoutineLog{};
        const long runs = sim::OtherModRuns();
        for (int frame = 0; frame < 20; ++frame) {
            sim::AdvanceClock(100);
            sim::RunFrame();
        }
        EXPECT_EQ(runs + 20, sim::OtherModRuns()) << before;
        EXPECT_EQ(20, sim::routines.runs[0]);
        EXPECT_EQ(0, sim::routines.innerRuns);
        const std::vector<std::string> lines = session.LogLines();
        if (before) {
            EXPECT_EQ((std::vector<std::string>{"CHAINED: 0048C850 calls into widescreen.asi", kReady,
                                                "WORLD READY: player and pedestrian pool resolved."}),
                      std::vector<std::string>(lines.begin(), lines.begin() + std::min<size_t>(3, lines.size())));
        } else {
            EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                             "CONFLICT: 0048C850 was taken over by widescreen.asi after start; fear "
                                             "and notices stop; kills and saves still count."));
        }
        session.Unload();
        EXPECT_EQ(modsCall, sim::ReadBytes(sim::addr::SiteWorldUpdate, 5));
        EXPECT_EQ(0xE8, modsCall[0]);
        EXPECT_EQ(0, PatchedSiteCount());
    }
    sim::InstallHost();
}

}  // namespace
