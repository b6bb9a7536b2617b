// A plugin session over the simulated host for the save, load, zone and
// new-game tests: side files in a fresh folder, default settings, the eight
// hooks installed on the simulator's sites and the plugin active.
#pragma once

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "fear/fear_state.h"
#include "host/hook_engine.h"
#include "host/module_entry.h"
#include "settings/settings.h"
#include "sim.h"
#include "support/test_files.h"
#include "support/win32_faults.h"
#include "world.h"
#include "world_saves.h"

class SaveSession : public ::testing::Test {
protected:
    void SetUp() override {
        faults::Clear();
        faults::afterReadFile = nullptr;
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
        faults::afterReadFile = nullptr;
        faults::Clear();
    }

    std::vector<std::string> Log() const { return testfiles::ReadLines(logPath); }
    std::string ProgressFile() const { return testfiles::ReadFile(progressPath); }

    static void SetGang(int gang, uint32_t kills, uint32_t milestone, uint32_t a0, uint32_t a1, uint32_t a2) {
        GangRecord& g = fearState.gangs[gang];
        g.kills = kills;
        g.milestone = milestone;
        g.announced[0] = a0;
        g.announced[1] = a1;
        g.announced[2] = a2;
    }

    static std::vector<uint32_t> GangValues() {
        std::vector<uint32_t> values;
        for (const GangRecord& g : fearState.gangs) {
            values.insert(values.end(), {g.kills, g.milestone, g.announced[0], g.announced[1], g.announced[2]});
        }
        return values;
    }

    std::wstring folder;

private:
    void SetSidePath(wchar_t (&path)[kPathChars], const wchar_t* name) const {
        wmemset(path, 0, kPathChars);
        swprintf(path, kPathChars, L"%ls%ls", folder.c_str(), name);
    }
};
