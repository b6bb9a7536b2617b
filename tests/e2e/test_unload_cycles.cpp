// A loader may load and unload the plugin for as long as the game runs: each
// unload gives back what its load took.
#include <gtest/gtest.h>

#include <windows.h>

#include "sim.h"
#include "support/plugin_session.h"
#include "world.h"
#include "world_render.h"

namespace {

// The index TlsAlloc hands out next: Windows gives the lowest free one.
DWORD NextFreeTlsIndex() {
    const DWORD index = TlsAlloc();
    TlsFree(index);
    return index;
}

SIZE_T CommittedPrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (uintptr_t at = 0; VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region) == sizeof region;
         at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    }
    return total;
}

}  // namespace

using ShowFn = void (*)(unsigned int gang, unsigned int count, uint32_t kind, unsigned int now);

// Every tenth load draws notices, so that its unload finds textures to give
// back (drawing at each load would double the run time).
TEST(UnloadCycles, FifteenHundredLoadsWithTheirHooksAndNoticesLeaveNothingBehind) {
    sim::InstallHost();
    PluginSession session(L"unload-cycles");
    constexpr int kCycles = 1500, kSettled = 5, kDrawEvery = 10;
    DWORD tlsIndex = 0;
    SIZE_T committed = 0;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        // The simulator's own records of what was drawn would grow.
        sim::ResetWorld();
        sim::trace.clear();
        ASSERT_TRUE(session.Load()) << "cycle " << cycle;
        ASSERT_EQ(8, PatchedSiteCount()) << "cycle " << cycle;
        if (cycle % kDrawEvery == 1) {
            // A gang brought to its knees: the banner and the line below it.
            reinterpret_cast<ShowFn>(session.Export("_ZN13NoticeOverlay4ShowEjjNS_4KindEj"))(0, 300, 4, sim::Clock());
            sim::RunFrame();
            ASSERT_EQ(2, sim::LiveRasters()) << "cycle " << cycle;
        }
        session.Unload();
        ASSERT_TRUE(sim::SitesPristine()) << "cycle " << cycle;
        ASSERT_EQ(0, sim::LiveRasters()) << "cycle " << cycle;
        if (cycle == kSettled) tlsIndex = NextFreeTlsIndex(), committed = CommittedPrivateBytes();
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(session.AsiPath().c_str()));
    EXPECT_EQ(tlsIndex, NextFreeTlsIndex());
    EXPECT_EQ(committed, CommittedPrivateBytes());
}
