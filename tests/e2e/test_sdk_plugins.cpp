// Other plugins using Quellbrand's notices through sdk/QuellbrandNotices.h:
// the example plugin of dist/sdk loaded before, after and without Quellbrand,
// and the header built for the MSVC ABI resolving the loaded module.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "QuellbrandNotices.h"
#include "sim.h"
#include "support/plugin_session.h"
#include "world.h"
#include "world_render.h"

namespace {

constexpr char kExampleText[] = "text \"Triads members killed: 0\"";

std::wstring FromEnvironment(const wchar_t* name, const wchar_t* fallback) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : fallback;
}
std::wstring ExampleAsi() {
    return FromEnvironment(L"QB_EXAMPLE_ASI", L"..\\..\\dist\\sdk\\example\\QuellbrandNoticeExample.asi");
}
std::wstring MsvcResolverDll() { return FromEnvironment(L"QB_MSVC_RESOLVER", L"sdk-msvc\\msvc_resolver.dll"); }

// Another plugin's DLL, copied into the game folder and loaded from there.
struct OtherPlugin {
    HMODULE module = nullptr;

    OtherPlugin(const PluginSession& game, const std::wstring& source) {
        const std::wstring path = game.folder + L"\\" + source.substr(source.find_last_of(L"\\/") + 1);
        CopyFileW(source.c_str(), path.c_str(), FALSE);
        module = LoadLibraryW(path.c_str());
    }
    ~OtherPlugin() { Unload(); }
    void Unload() {
        if (module) FreeLibrary(module);
        module = nullptr;
    }
};

// Trace lines that start with `start`.
size_t TimesTraced(const char* start) {
    return std::count_if(sim::trace.begin(), sim::trace.end(),
                         [start](const std::string& line) { return line.compare(0, strlen(start), start) == 0; });
}

size_t RectanglesDrawnSinceReset() {
    return std::count_if(sim::renderLog.draws.begin(), sim::renderLog.draws.end(),
                         [](const sim::DrawRecord& draw) { return !draw.byHost; });
}

void __cdecl NotQuellbrandsShow(unsigned int, unsigned int, NoticeOverlay::Kind, unsigned int) {}
void __cdecl NotQuellbrandsReset() {}
void __cdecl NotQuellbrandsDraw(unsigned int, int, int, int) {}

// One turn of the game's main loop: the thread's window messages are
// dispatched (the example's timer ticks there), then a frame of 50 ms is
// updated and drawn. Returns the number of rectangles the overlay drew.
size_t GameLoopTurn() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    sim::AdvanceClock(50);
    sim::RunFrame();
    return sim::DrawsOfFrame(sim::renderLog.frame).size();
}

// Turns the game loop at about 100 frames a second of real time, for `ms` or
// until a new trace line starting with `start` appears; true when one did.
bool PlayUntilNewlyTraced(const char* start, DWORD ms) {
    const size_t before = TimesTraced(start);
    const DWORD began = GetTickCount();
    while (GetTickCount() - began < ms) {
        GameLoopTurn();
        if (TimesTraced(start) > before) return true;
        Sleep(10);
    }
    return false;
}

// The thread's window messages for `ms` of real time without any frame (the
// game not playing), dispatched or only taken from the queue. Returns the
// number of timer messages among them.
int MessagesOnly(DWORD ms, bool dispatch) {
    int timerMessages = 0;
    const DWORD began = GetTickCount();
    for (MSG message; GetTickCount() - began < ms; Sleep(10)) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            timerMessages += message.message == WM_TIMER;
            if (dispatch) DispatchMessageW(&message);
        }
    }
    return timerMessages;
}

class SdkPlugins : public testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld(64);
        sim::trace.clear();
    }
    void TearDown() override {
        ExpectHostUnharmed();
        sim::routines = sim::RoutineLog{};
    }
    static void ExpectHostUnharmed() {
        for (const std::string& line : sim::trace) EXPECT_EQ(std::string::npos, line.find("host:")) << line;
        EXPECT_TRUE(sim::renderLog.errors.empty()) << sim::renderLog.errors.front();
    }
    static void LoadQuellbrand(PluginSession& game) {
        ASSERT_TRUE(game.Load());
        sim::TraceRenderedTexts(game.module);
    }
    // The example's notice is up: it stays for 5000 ms of game clock from the
    // clock the example passed (the last frame's, before the frame that first
    // drew it), and is not put up again.
    static void ExpectShownOnceOnTheGameClock() {
        ASSERT_EQ(1u, TimesTraced(kExampleText));
        ASSERT_EQ(2u, sim::DrawsOfFrame(sim::renderLog.frame).size());
        const uint32_t firstDrawn = sim::Clock();
        for (int frame = 0; frame < 200 && sim::DrawsOfFrame(sim::renderLog.frame).size(); ++frame) GameLoopTurn();
        EXPECT_EQ(4950u, sim::Clock() - firstDrawn);
        EXPECT_FALSE(PlayUntilNewlyTraced("text", 300)) << "put up again";
    }
};

TEST_F(SdkPlugins, ExampleShowsItsNoticeOnceWhicheverPluginLoadsFirst) {
    for (const bool exampleFirst : {true, false}) {
        SCOPED_TRACE(exampleFirst ? "example loaded first" : "Quellbrand loaded first");
        SetUp();
        PluginSession game(L"sdk-example-order");
        {
            std::unique_ptr<OtherPlugin> example;
            if (exampleFirst) example.reset(new OtherPlugin(game, ExampleAsi()));
            LoadQuellbrand(game);
            if (!exampleFirst) example.reset(new OtherPlugin(game, ExampleAsi()));
            ASSERT_NE(nullptr, example->module);

            // While the game's clock stands still (the game is not playing
            // yet), the example waits; a notice put up now would be long
            // gone once the clock jumps.
            sim::SetClock(20000);
            MessagesOnly(250, true);
            sim::SetClock(100000);
            ASSERT_TRUE(PlayUntilNewlyTraced(kExampleText, 5000));
            ExpectShownOnceOnTheGameClock();
        }
        game.Unload();
        ExpectHostUnharmed();
    }
}

// Without Quellbrand the example draws nothing and can be unloaded while it
// still looks; loaded again, it finds Quellbrand when that comes later.
TEST_F(SdkPlugins, ExampleWithoutQuellbrandStaysSilentAndFindsItLate) {
    PluginSession game(L"sdk-example-alone");
    auto example = std::make_unique<OtherPlugin>(game, ExampleAsi());
    ASSERT_NE(nullptr, example->module);
    EXPECT_FALSE(PlayUntilNewlyTraced("text", 300));
    example->Unload();
    EXPECT_EQ(0, MessagesOnly(300, false)) << "the example's timer outlived it";

    example = std::make_unique<OtherPlugin>(game, ExampleAsi());
    EXPECT_FALSE(PlayUntilNewlyTraced("text", 300));
    EXPECT_EQ(0u, RectanglesDrawnSinceReset());
    EXPECT_TRUE(sim::renderLog.rasters.empty());
    LoadQuellbrand(game);
    ASSERT_TRUE(PlayUntilNewlyTraced(kExampleText, 5000));
    ExpectShownOnceOnTheGameClock();
}

// The header built by clang for the MSVC ABI looks up the MSVC names and finds
// the very functions that this (mingw) test finds under the GCC names.
TEST_F(SdkPlugins, MsvcAndGccBuildsResolveTheSameFunctions) {
    PluginSession game(L"sdk-msvc");
    OtherPlugin msvcPlugin(game, MsvcResolverDll());
    ASSERT_NE(nullptr, msvcPlugin.module);
    using ResolveFn = int(__cdecl*)(QuellbrandNotices::Api*);
    const auto resolveMsvc =
        reinterpret_cast<ResolveFn>(reinterpret_cast<void*>(GetProcAddress(msvcPlugin.module, "ResolveThroughHeader")));
    ASSERT_NE(nullptr, resolveMsvc);

    // A failed lookup leaves nothing behind of what the three pointers held.
    const QuellbrandNotices::Api held = {&NotQuellbrandsShow, &NotQuellbrandsReset, &NotQuellbrandsDraw};
    QuellbrandNotices::Api msvc = held, gcc = held, gccElsewhere = held;
    EXPECT_EQ(0, resolveMsvc(&msvc));
    EXPECT_FALSE(QuellbrandNotices::Resolve(gcc));
    EXPECT_FALSE(QuellbrandNotices::Resolve(gccElsewhere, L"msvc_resolver.dll")) << "loaded, but no notices there";
    for (const QuellbrandNotices::Api& api : {msvc, gcc, gccElsewhere})
        EXPECT_TRUE(!api.Show && !api.Reset && !api.Draw);

    LoadQuellbrand(game);
    ASSERT_EQ(1, resolveMsvc(&msvc));
    ASSERT_TRUE(QuellbrandNotices::Resolve(gcc));
    EXPECT_TRUE(msvc.Show == gcc.Show && msvc.Reset == gcc.Reset && msvc.Draw == gcc.Draw);
    EXPECT_EQ(reinterpret_cast<void*>(gcc.Show), game.Export("_ZN13NoticeOverlay4ShowEjjNS_4KindEj"));
    EXPECT_EQ(reinterpret_cast<void*>(gcc.Reset), game.Export("_ZN13NoticeOverlay5ResetEv"));
    EXPECT_EQ(reinterpret_cast<void*>(gcc.Draw), game.Export("_ZN13NoticeOverlay4DrawEjiii"));

    sim::SetClock(1000);
    msvc.Show(2, 125, NoticeOverlay::MembersKilled, sim::Clock());
    EXPECT_EQ(2u, GameLoopTurn()) << "the shadow and the text";
    EXPECT_EQ(1u, TimesTraced("text \"Colombian Cartel members killed: 125\""));
    // Drawn by the plugin itself, in the language of its flag: any but 0 is Russian.
    for (int flag : {2, -1}) {
        gcc.Draw(sim::Clock(), flag, 800, 600);
        GameLoopTurn();  // Quellbrand's own frame: English again
    }
    EXPECT_EQ(2u, TimesTraced("text \"Убито \u2014 125 человек из Колумбийского картеля.\""));
    msvc.Reset();
    EXPECT_EQ(0u, GameLoopTurn());
}

}  // namespace
