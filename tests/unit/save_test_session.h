// A plugin session over the simulated host for the save, load, zone and
// new-game tests: side files in a fresh folder, default settings, the eight
// hooks installed on the simulator's sites and the plugin active.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "fear/fear_state.h"
#include "host/hook_engine.h"
#include "host/module_entry.h"
#include "overlay/notice_queue.h"
#include "settings/settings.h"
#include "sim.h"
#include "support/test_files.h"
#include "support/win32_faults.h"
#include "world.h"
#include "world_saves.h"

using Values = std::vector<uint32_t>;

class SaveSession : public ::testing::Test {
protected:
    void SetUp() override {
        faults::Clear();
        folder = testfiles::NewFolder(L"saves");
        SetSidePath(settingsPath, L"\\Quellbrand.ini");
        SetSidePath(progressPath, L"\\Quellbrand-saves.ini");
        SetSidePath(logPath, L"\\Quellbrand.log");
        LoadSettings();
        InitFearState();
        sim::ResetWorld();
        sim::routines = sim::RoutineLog{};
        sim::SetSaveFolder(testfiles::Narrow(folder) + "\\saves");
        ASSERT_TRUE(InstallHooks());
        fearState.active = true;
    }

    void TearDown() override {
        fearState.active = false;
        RemoveHooks();
        faults::Clear();
    }

    std::vector<std::string> Log() const { return testfiles::ReadLines(logPath); }

    static void SetGang(int gang, uint32_t kills, uint32_t milestone, uint32_t a0, uint32_t a1, uint32_t a2) {
        fearState.gangs[gang] = GangRecord{fearState.gangs[gang].pedType, fearState.gangs[gang].densityOffset,
                                           kills, {a0, a1, a2}, milestone};
    }

    static Values GangValues() {
        Values values;
        for (const GangRecord& g : fearState.gangs) {
            values.insert(values.end(), {g.kills, g.milestone, g.announced[0], g.announced[1], g.announced[2]});
        }
        return values;
    }

    // Something in every field a new game or a load must clear or keep.
    static void PlayForAWhile() {
        for (int g = 0; g < kGangCount; ++g) SetGang(g, 310 + g, 300, 100, 200, 300);
        for (PedTrack& track : fearState.peds) track = PedTrack{3, true, true, 77, Flee, 1, 1, 0, 0, 5};
        fearState.noticeShown = fearState.tickStarted = fearState.worldReady = true;
        fearState.zones = 900;
        fearState.scaled = 800;
        fearState.lastStatusTime = 60000;
        fearState.lastHostileMask = 0xF;
        fearState.lastTickTime = 1111;
        fearState.lastReloadTime = 2222;
        fearState.lastNoticeTime = 3333;
        NoticeOverlay::Show(2, 300, NoticeOverlay::BroughtToKnees, 3333);
        NoticeOverlay::Show(0, 25, NoticeOverlay::MembersKilled, 3333);
    }

    // The counters of the last game are gone (the gangs hold `gangs`); what
    // belongs to the process stays.
    static void ExpectFreshGame(const Values& gangs) {
        EXPECT_EQ(GangValues(), gangs);
        const uint8_t* peds = reinterpret_cast<const uint8_t*>(fearState.peds);
        EXPECT_EQ(std::count(peds, peds + sizeof fearState.peds, 0), static_cast<int>(sizeof fearState.peds));
        EXPECT_FALSE(fearState.noticeShown || fearState.tickStarted);
        EXPECT_EQ(fearState.zones + fearState.scaled + fearState.lastStatusTime, 0u);
        EXPECT_EQ(fearState.lastHostileMask, 0xFFFFFFFFu);
        EXPECT_EQ(bannerSlot.duration + lineSlot.duration, 0u);
        EXPECT_TRUE(fearState.active && fearState.worldReady);
        EXPECT_EQ(fearState.lastTickTime, 1111u);
        EXPECT_EQ(fearState.lastReloadTime, 2222u);
        EXPECT_EQ(fearState.lastNoticeTime, 3333u);
        const int32_t pedTypes[] = {8, 7, 12, 11}, offsets[] = {40, 38, 48, 46};
        for (int g = 0; g < kGangCount; ++g) {
            EXPECT_EQ(fearState.gangs[g].pedType, pedTypes[g]) << g;
            EXPECT_EQ(fearState.gangs[g].densityOffset, offsets[g]) << g;
        }
    }

    std::wstring folder;

private:
    void SetSidePath(wchar_t (&path)[kPathChars], const wchar_t* name) const {
        wmemset(path, 0, kPathChars);
        swprintf(path, kPathChars, L"%ls%ls", folder.c_str(), name);
    }
};
