// A simulated world for the fear engine's tests: an empty pool with the
// player at the origin, every gang hostile, default settings (no settings
// file), a fresh log file, the shared state at its start values and active.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "fear/fear_state.h"
#include "host/handler_entries.h"
#include "host/hook_engine.h"
#include "host/module_entry.h"
#include "overlay/notice_queue.h"
#include "settings/settings.h"
#include "sim.h"
#include "support/test_files.h"
#include "world.h"
#include "world_peds.h"

using Lines = std::vector<std::string>;
constexpr int32_t kLeone = 7;  // ped type of the Leone family, GangId 1
constexpr int32_t kTriads = 8;

class FearWorld : public testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld(64);
        sim::trace.clear();
        InitFearState();
        NoticeOverlay::Reset();
        bannerSlot = lineSlot = NoticeSlot{};
        const std::wstring folder = testfiles::NewFolder(L"fear");
        wcsncpy(settingsPath, (folder + L"\\Quellbrand.ini").c_str(), kPathChars - 1);
        wcsncpy(logPath, (folder + L"\\Quellbrand.log").c_str(), kPathChars - 1);
        LoadSettingsAndNoteFile();  // as at attach: the world tick's reloads compare with this
        fearState.active = true;
        HoldSettings();
    }
    void TearDown() override {
        if (hooked) RemoveHooks();
    }

    // Keeps the tick from reloading the settings file for the next two seconds.
    void HoldSettings() { fearState.lastReloadTime = GetTickCount(); }
    void WriteSettings(const std::string& body) {
        ASSERT_TRUE(testfiles::WriteFile(settingsPath, "[Morwenstal]\r\n" + body));
    }
    void InstallPluginHooks() { ASSERT_TRUE(hooked = InstallHooks()); }
    Lines Log() const { return testfiles::ReadLines(logPath); }
    // Trace lines that start with `prefix`, in order.
    static Lines TraceOf(const std::string& prefix) {
        Lines lines;
        for (const std::string& line : sim::trace) {
            if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
        }
        return lines;
    }
    static host::HostPed* Ped(uint8_t* object) { return reinterpret_cast<host::HostPed*>(object); }
    static PedTrack& Track(int slot) { return fearState.peds[slot]; }
    static void SetKills(std::initializer_list<uint32_t> kills) {
        int g = 0;
        for (uint32_t k : kills) fearState.gangs[g++].kills = k;
    }

    bool hooked = false;
};
