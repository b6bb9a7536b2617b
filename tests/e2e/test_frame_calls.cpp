// The Win32 calls the shipped module makes in a frame, counted through its
// import pointers: an ordinary frame touches no file but to append a log line
// and makes no INI, GDI or allocation call, and a settings reload of an
// unchanged file reads no key; the ProgressKey costs one key-state read a
// frame, and the focus is asked for only when the key goes down. Calls are
// counted, never timed.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "import_watch.h"
#include "sim.h"
#include "support/plugin_session.h"
#include "world.h"
#include "world_peds.h"
#include "world_render.h"

namespace {

constexpr int32_t kLeone = 7;
constexpr uint32_t kFrameMs = 33;
constexpr int kSpareSlot = 139;
constexpr uint32_t kCallsPerLogLine = 4;  // CreateFileW, WriteFile twice, CloseHandle

void Frames(int count) {
    for (int i = 0; i < count; ++i) {
        sim::AdvanceClock(kFrameMs);
        sim::RunFrame();
    }
    sim::trace.clear();
}

TEST(FrameCalls, OrdinaryFramesMakeNoFileIniGdiOrAllocationCallAndAnUnchangedReloadReadsNoKey) {
    sim::ResetWorld(140);
    for (int i = 0; i < 40; ++i) sim::SpawnPed(1 + i, kLeone, 6.0f + 2.4f * static_cast<float>(i), 0.0f, 0.0f);
    PluginSession session(L"frame-calls");
    session.WriteSettings("KillsRequired=3\r\n");
    ASSERT_TRUE(session.Load());
    ASSERT_TRUE(sim::WatchImports(session.module));
    for (int kill = 0; kill < 3; ++kill) {
        uint8_t* member = sim::SpawnPed(kSpareSlot, kLeone, 300.0f, 300.0f, 0.0f);
        sim::KillPed(member);
        sim::CreditKill(member);
        sim::FreeSlot(kSpareSlot);
    }
    Frames(40000 / kFrameMs);  // the broken gang's notices come and go
    ASSERT_EQ(0, sim::LiveRasters());
    using ShowFn = void (*)(unsigned int, unsigned int, uint32_t, unsigned int);
    const auto show = reinterpret_cast<ShowFn>(session.Export("_ZN13NoticeOverlay4ShowEjjNS_4KindEj"));
    ASSERT_TRUE(show);

    const struct {
        const char* what;
        std::function<void()> before;  // not counted
        int frames;
        uint32_t iniCalls;
        bool reloads;
        size_t leastLogLines;  // status lines: their file calls are allowed
    } phases[] = {
        {"ordinary frames", [] {}, 700, 0, false, 2},
        {"a notice drawn from its texture",
         [&] {
             show(0, 25, 0, sim::Clock());
             Frames(1);
         },
         100, 0, false, 0},
        {"the first reload, the file as at attach", [] { sim::AdvanceModuleTickCount(2000); }, 1, 0, true, 0},
        {"a reload of a changed file",
         [&] {
             session.WriteSettings("KillsRequired=3\r\n; edited\r\n");
             sim::AdvanceModuleTickCount(2000);
         },
         1, 19, true, 0},  // every key of the file
    };
    for (const auto& phase : phases) {
        phase.before();
        sim::TakeImportCalls();
        const size_t lines = session.LogLines().size();
        Frames(phase.frames);
        const sim::ImportCalls calls = sim::TakeImportCalls();
        const size_t logLines = session.LogLines().size() - lines;
        EXPECT_GE(logLines, phase.leastLogLines) << phase.what;
        EXPECT_EQ(phase.iniCalls, calls.Of(sim::CallKind::Ini)) << phase.what;
        EXPECT_EQ(0u, calls.Of(sim::CallKind::Gdi)) << phase.what;
        EXPECT_EQ(0u, calls.Of(sim::CallKind::Allocation)) << phase.what;
        EXPECT_EQ(static_cast<uint32_t>(phase.frames), calls.Of("GetAsyncKeyState")) << phase.what;
        EXPECT_EQ(0u, calls.Of("GetForegroundWindow")) << phase.what;
        if (phase.reloads) {
            EXPECT_GT(calls.Of(sim::CallKind::File), 0u) << phase.what;  // the file's bytes were read
        } else {
            EXPECT_EQ(kCallsPerLogLine * logLines, calls.Of(sim::CallKind::File)) << phase.what;
        }
    }
    // A press asks for the window in front once; the key held down, no more.
    sim::SetKeyDown(0x76, true);  // F7
    Frames(30);
    const sim::ImportCalls press = sim::TakeImportCalls();
    EXPECT_EQ(1u, press.Of("GetForegroundWindow"));
    EXPECT_EQ(1u, press.Of("GetWindowThreadProcessId"));
    EXPECT_EQ(30u, press.Of("GetAsyncKeyState"));
    sim::SetKeyDown(0x76, false);
    EXPECT_TRUE(sim::renderLog.errors.empty());
}

}  // namespace
