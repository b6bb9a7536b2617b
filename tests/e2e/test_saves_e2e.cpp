// Play sessions against the shipped plugin that save, start new games and
// load again: every save gets its own progress back, damaged progress files
// cost nothing but their own entries, and densities follow the stages.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "sim.h"
#include "support/plugin_session.h"
#include "support/test_files.h"
#include "world.h"
#include "world_peds.h"
#include "world_render.h"
#include "world_saves.h"

namespace {

constexpr int32_t kTriads = 8, kLeone = 7, kCartel = 12, kYardies = 11;
constexpr char kStages[] = "Stage1Kills=20\r\nStage2Kills=40\r\nKillsRequired=60\r\nTickMs=50\r\n";

using Lines = std::vector<std::string>;

void ExpectHostDiscipline(const sim::CallResult& call) {
    EXPECT_TRUE(call.registersKept);
    EXPECT_TRUE(call.stackBalanced);
}

class SaveSessionE2e : public ::testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld(64);
        session = new PluginSession(L"saves-e2e");
        session->WriteSettings(kStages);
        sim::SetSaveFolder(testfiles::Narrow(session->folder) + "\\saves");
    }
    void TearDown() override {
        session->Unload();
        EXPECT_TRUE(sim::SitesPristine());
        delete session;
    }

    // Members of a gang die at the player's hand, far from him; their bodies go.
    void Kill(int32_t pedType, int count) {
        for (int i = 0; i < count; ++i) {
            const int slot = 10 + nextSlot++ % 50;
            uint8_t* member = sim::SpawnPed(slot, pedType, 300.0f, 0.0f, 0.0f);
            sim::KillPed(member);
            ExpectHostDiscipline(sim::CreditKill(member));
            sim::FreeSlot(slot);
        }
    }

    // Frames over `seconds` of game time; returns the plugin's draws.
    int Play(int seconds) {
        int draws = 0;
        for (int frame = 0; frame < seconds * 4; ++frame) {
            sim::AdvanceClock(250);
            const size_t before = sim::renderLog.draws.size();
            sim::RunFrame();
            for (size_t i = before; i < sim::renderLog.draws.size(); ++i) draws += !sim::renderLog.draws[i].byHost;
        }
        return draws;
    }

    std::string Save(int slot) {
        const sim::SaveCall save = sim::SaveGame(slot);
        ExpectHostDiscipline(save.call);
        EXPECT_EQ(save.call.eax & 0xFF, 1u);
        EXPECT_EQ(save.status, 0u);
        return StoredState(slot);
    }

    void Load(int slot) {
        const sim::CallResult load = sim::LoadGame(slot);
        ExpectHostDiscipline(load);
        EXPECT_EQ(load.eax & 0xFF, 1u);
    }

    std::wstring Key(int slot) { return sim::ExpectedSaveKey(sim::SaveFilePath(slot)); }

    std::string Stored(int slot, const wchar_t* name) {
        wchar_t value[300] = {};
        GetPrivateProfileStringW(Key(slot).c_str(), name, L"<none>", value, 300, session->ProgressPath().c_str());
        return testfiles::Narrow(value);
    }
    std::string StoredState(int slot) { return Stored(slot, L"StateV2"); }

    // The lines of one section of the progress file, header included.
    Lines SectionText(int slot) {
        const std::string header = "[" + testfiles::Narrow(Key(slot)) + "]";
        Lines section;
        bool inside = false;
        for (const std::string& line : testfiles::ReadLines(session->ProgressPath())) {
            if (!line.empty() && line[0] == '[') inside = line == header;
            if (inside) section.push_back(line);
        }
        return section;
    }

    void ReplaceProgressText(const std::string& from, const std::string& to) {
        std::string text = testfiles::ReadFile(session->ProgressPath());
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        testfiles::WriteFile(session->ProgressPath(), text);
    }

    std::string LastLog() {
        const Lines log = session->LogLines();
        return log.empty() ? "" : log.back();
    }

    PluginSession* session = nullptr;
    int nextSlot = 0;
};

}  // namespace

TEST_F(SaveSessionE2e, EverySaveGetsItsOwnCountsAndMarksBack) {
    ASSERT_TRUE(session->Load());
    Kill(kLeone, 30);
    Kill(kTriads, 5);
    EXPECT_GT(Play(10), 0);  // the stage and milestone notices of this war
    const std::string first = Save(1);
    EXPECT_EQ(first, "5,0,0,0,0,30,25,20,0,0,0,0,0,0,0,0,0,0,0,0");
    EXPECT_EQ(LastLog(), "SAVED Triads=5 Leone=30 Cartel=0 Yardies=0");

    Kill(kLeone, 20);
    Kill(kCartel, 3);
    EXPECT_GT(Play(20), 0);
    const std::string second = Save(2);
    EXPECT_EQ(second, "5,0,0,0,0,50,50,20,40,0,3,0,0,0,0,0,0,0,0,0");
    EXPECT_NE(Key(1), Key(2));

    ExpectHostDiscipline(sim::StartNewGame());
    EXPECT_EQ(Save(3), "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");

    Load(1);
    EXPECT_EQ(LastLog(), "LOADED Triads=5 Leone=30 Cartel=0 Yardies=0");
    EXPECT_EQ(Play(10), 0);  // nothing announced again
    EXPECT_EQ(Save(4), first);

    Load(2);
    EXPECT_EQ(LastLog(), "LOADED Triads=5 Leone=50 Cartel=3 Yardies=0");
    EXPECT_EQ(Play(10), 0);
    EXPECT_EQ(Save(5), second);

    // Play goes on from the loaded counts: the gang is brought to its knees.
    Kill(kLeone, 10);
    EXPECT_GT(Play(10), 0);
    EXPECT_EQ(Save(6), "5,0,0,0,0,60,50,20,40,60,3,0,0,0,0,0,0,0,0,0");
}

TEST_F(SaveSessionE2e, SaveNeverSeenOrUnreadableStartsFromZero) {
    sim::SaveGame(7);  // made before the plugin was installed
    ASSERT_TRUE(session->Load());
    Kill(kYardies, 26);
    Play(2);
    Load(7);
    EXPECT_EQ(LastLog(), "LOADED Triads=0 Leone=0 Cartel=0 Yardies=0");
    EXPECT_EQ(Save(8), "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");

    // A save the host cannot load changes nothing.
    Kill(kYardies, 4);
    const size_t logLines = session->LogLines().size();
    EXPECT_EQ(sim::LoadGamePath(testfiles::Narrow(session->folder) + "\\missing.b").eax & 0xFF, 0u);
    EXPECT_EQ(session->LogLines().size(), logLines);
    EXPECT_EQ(Save(9), "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,4,0,0,0,0");

    // One the host loads but the plugin cannot fingerprint (too short) starts from zero.
    const std::wstring tiny = session->folder + L"\\tiny.b";
    ASSERT_TRUE(testfiles::WriteFile(tiny, std::string("GTA3SIM1") + std::string(92, '\0')));
    EXPECT_EQ(sim::LoadGamePath(testfiles::Narrow(tiny)).eax & 0xFF, 1u);
    const Lines log = session->LogLines();
    ASSERT_EQ(log.size(), logLines + 3);
    EXPECT_EQ(log[logLines + 1], "LOAD WARNING: save fingerprint unavailable. Mod counters start at zero.");
    EXPECT_EQ(log[logLines + 2], "LOADED Triads=0 Leone=0 Cartel=0 Yardies=0");
}

TEST_F(SaveSessionE2e, DamagedProgressFileCostsOnlyTheDamagedEntries) {
    ASSERT_TRUE(session->Load());
    Kill(kLeone, 45);
    Play(10);
    const std::string first = Save(1);
    Kill(kCartel, 7);
    Play(10);
    const std::string second = Save(2);
    const Lines secondSection = SectionText(2);
    ASSERT_EQ(secondSection.size(), 2u);

    // Wrong values by hand: a milestone of 30 and a negative count.
    ReplaceProgressText("StateV2=" + first + "\r\n",
                        "StateV2=0,0,0,0,0,45,30,20,40,0,0,0,0,0,0,0,0,0,0,0\r\nCounts=-4294967295,1,1,1\r\n");
    Load(1);
    EXPECT_EQ(LastLog(), "LOADED Triads=0 Leone=0 Cartel=0 Yardies=0");
    EXPECT_EQ(SectionText(2), secondSection);
    Load(2);
    EXPECT_EQ(LastLog(), "LOADED Triads=0 Leone=45 Cartel=7 Yardies=0");

    // A hand-written count line in place of the value: the marks follow from it.
    ReplaceProgressText("StateV2=0,0,0,0,0,45,30", "Hand=0,0,0,0,0,45,30");
    ReplaceProgressText("Counts=-4294967295,1,1,1", "Counts= 1, 45,0,0");
    Load(1);
    EXPECT_EQ(LastLog(), "LOADED Triads=1 Leone=45 Cartel=0 Yardies=0");
    EXPECT_EQ(Play(10), 0);
    EXPECT_EQ(Save(3), "1,0,0,0,0,45,25,20,40,0,0,0,0,0,0,0,0,0,0,0");

    // Cut off in the middle of a line, then saved into: earlier sections stay as they were.
    std::string text = testfiles::ReadFile(session->ProgressPath());
    const std::string secondValue = "StateV2=" + second;
    const size_t cut = text.find(secondValue);
    ASSERT_NE(cut, std::string::npos);
    const Lines firstSection = SectionText(1);
    text.resize(cut + 12);
    testfiles::WriteFile(session->ProgressPath(), text);
    Load(2);
    EXPECT_EQ(LastLog(), "LOADED Triads=0 Leone=0 Cartel=0 Yardies=0");
    Kill(kTriads, 2);
    EXPECT_EQ(Save(4), "2,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    EXPECT_EQ(SectionText(1), firstSection);
    EXPECT_EQ(SectionText(2).size(), 2u);
    EXPECT_EQ(SectionText(2)[1], secondValue.substr(0, 12));

    // Bytes that are no text at all.
    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 37) ^ (i >> 3));
    testfiles::WriteFile(session->ProgressPath(), garbage);
    Load(4);
    EXPECT_EQ(LastLog(), "LOADED Triads=0 Leone=0 Cartel=0 Yardies=0");
    Kill(kTriads, 3);
    EXPECT_EQ(Save(5), "3,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    Load(5);
    EXPECT_EQ(LastLog(), "LOADED Triads=3 Leone=0 Cartel=0 Yardies=0");
}

TEST_F(SaveSessionE2e, DensitiesFallWithEachStageAndComeBackOnANewGame) {
    ASSERT_TRUE(session->Load());
    sim::SetAllZoneDensities(30, 30, 30, 1000);
    auto leone = [] {
        const sim::ZoneLookup zone = sim::LookUpZone(5);
        ExpectHostDiscipline(zone.call);
        return zone.Density(sim::zone::Leone);
    };
    EXPECT_EQ(leone(), 30);
    Kill(kLeone, 19);
    EXPECT_EQ(leone(), 30);
    Kill(kLeone, 1);
    EXPECT_EQ(leone(), 23);
    Kill(kLeone, 20);
    EXPECT_EQ(leone(), 15);
    Kill(kLeone, 20);
    EXPECT_EQ(leone(), 8);
    EXPECT_EQ(sim::LookUpZone(5).Density(sim::zone::Triads), 30);

    Save(1);
    ExpectHostDiscipline(sim::StartNewGame());
    EXPECT_EQ(leone(), 30);
    Load(1);
    EXPECT_EQ(leone(), 8);

    sim::SetMission(true);  // missions keep the host's densities
    EXPECT_EQ(leone(), 30);
}
