// A loader may load and unload the plugin for as long as the game runs: each
// unload gives back what its load took.
#include <gtest/gtest.h>

#include <windows.h>

#include "sim.h"
#include "support/plugin_session.h"

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

TEST(UnloadCycles, FifteenHundredLoadsWithTheirHooksLeaveNothingBehind) {
    sim::InstallHost();
    PluginSession session(L"unload-cycles");
    constexpr int kCycles = 1500, kSettled = 5;
    DWORD tlsIndex = 0;
    SIZE_T committed = 0;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        ASSERT_TRUE(session.Load()) << "cycle " << cycle;
        ASSERT_EQ(8, PatchedSiteCount()) << "cycle " << cycle;
        session.Unload();
        ASSERT_TRUE(sim::SitesPristine()) << "cycle " << cycle;
        if (cycle == kSettled) tlsIndex = NextFreeTlsIndex(), committed = CommittedPrivateBytes();
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(session.AsiPath().c_str()));
    EXPECT_EQ(tlsIndex, NextFreeTlsIndex());
    EXPECT_EQ(committed, CommittedPrivateBytes());
}
