// Play sessions against the shipped plugin that save, start new games and
// load again: every save gets its own progress back, and a damaged progress
// file costs nothing but its own entries. (docs/examples/saves.qsim plays the
// densities and a progress file cut short.)
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

constexpr int32_t kTriads = 8, kLeone = 7, kCartel = 12;
constexpr char kZeros[] = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0";
constexpr char kLoadedZeros[] = "LOADED Triads=0 Leone=0 Cartel=0 Yardies=0";

bool Disciplined(const sim::CallResult& call) { return call.registersKept && call.stackBalanced; }

class SaveSessionE2e : public ::testing::Test {
protected:
    void SetUp() override {
        sim::ResetWorld(64);
        session = new PluginSession(L"saves-e2e");
        // No summary after a load: what these sessions draw is the notices alone.
        session->WriteSettings("Stage1Kills=20\r\nStage2Kills=40\r\nKillsRequired=60\r\nTickMs=50\r\nProgressOnLoad=false\r\n");
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
            EXPECT_TRUE(Disciplined(sim::CreditKill(member)));
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

    // Saves to `slot`; returns the "StateV2" stored for it.
    std::string Save(int slot) {
        const sim::SaveCall save = sim::SaveGame(slot);
        EXPECT_TRUE(Disciplined(save.call));
        EXPECT_EQ(save.call.eax & 0xFF, 1u);
        EXPECT_EQ(save.status, 0u);
        wchar_t value[300] = {};
        GetPrivateProfileStringW(Key(slot).c_str(), L"StateV2", L"<none>", value, 300, session->ProgressPath().c_str());
        return testfiles::Narrow(value);
    }

    // Loads `slot`; returns the last log line.
    std::string Load(int slot) {
        const sim::CallResult load = sim::LoadGame(slot);
        EXPECT_TRUE(Disciplined(load));
        EXPECT_EQ(load.eax & 0xFF, 1u);
        return session->LogLines().back();
    }

    std::wstring Key(int slot) { return sim::ExpectedSaveKey(sim::SaveFilePath(slot)); }

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
    EXPECT_EQ(session->LogLines().back(), "SAVED Triads=5 Leone=30 Cartel=0 Yardies=0");

    Kill(kLeone, 20);
    Kill(kCartel, 3);
    EXPECT_GT(Play(20), 0);
    const std::string second = Save(2);
    EXPECT_EQ(second, "5,0,0,0,0,50,50,20,40,0,3,0,0,0,0,0,0,0,0,0");
    EXPECT_NE(Key(1), Key(2));

    EXPECT_TRUE(Disciplined(sim::StartNewGame()));
    EXPECT_EQ(Save(3), kZeros);

    // Nothing is announced again, and saving again stores the same.
    EXPECT_EQ(Load(1), "LOADED Triads=5 Leone=30 Cartel=0 Yardies=0");
    EXPECT_EQ(Play(10), 0);
    EXPECT_EQ(Save(4), first);
    EXPECT_EQ(Load(2), "LOADED Triads=5 Leone=50 Cartel=3 Yardies=0");
    EXPECT_EQ(Play(10), 0);
    EXPECT_EQ(Save(5), second);

    // Play goes on from the loaded counts: the gang is brought to its knees.
    Kill(kLeone, 10);
    EXPECT_GT(Play(10), 0);
    EXPECT_EQ(Save(6), "5,0,0,0,0,60,50,20,40,60,3,0,0,0,0,0,0,0,0,0");
}

TEST_F(SaveSessionE2e, HandEditedCountsAndAGarbledProgressFileAreSurvived) {
    ASSERT_TRUE(session->Load());
    Kill(kLeone, 45);
    Play(10);
    const std::string first = Save(1);

    // A refused value by hand and a count line beside it: the marks follow
    // from the counts. A note after the section's name, blanks and an empty
    // section (which a writer may drop) do not stop the next save.
    std::string text = testfiles::ReadFile(session->ProgressPath());
    const size_t at = text.find(first);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, first.size(), "0,0,0,0,0,45,30,20,40,0,0,0,0,0,0,0,0,0,0,0\r\nCounts= 1, 45,0,0");
    text.insert(text.find("]") + 1, " ; saved before the bank job on Staunton Island");
    testfiles::WriteFile(session->ProgressPath(), text + std::string(40, ' ') + "\r\n[]\r\n");
    EXPECT_EQ(Load(1), "LOADED Triads=1 Leone=45 Cartel=0 Yardies=0");
    EXPECT_EQ(Play(10), 0);
    EXPECT_EQ(Save(3), "1,0,0,0,0,45,25,20,40,0,0,0,0,0,0,0,0,0,0,0");

    // Bytes that are no text at all.
    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 37) ^ (i >> 3));
    testfiles::WriteFile(session->ProgressPath(), garbage);
    EXPECT_EQ(Load(3), kLoadedZeros);
    Kill(kTriads, 3);
    EXPECT_EQ(Save(4), "3,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    EXPECT_EQ(Load(4), "LOADED Triads=3 Leone=0 Cartel=0 Yardies=0");

    // The copy a crash left before it replaced the file is never loaded and
    // does not stand in the way of the next save.
    const std::wstring leftOver = session->ProgressPath() + L".new";
    testfiles::WriteFile(leftOver, "[" + testfiles::Narrow(Key(4)) + "]\r\nStateV2=90,75,20,40,60" +
                                       std::string(kZeros).substr(9) + "\r\n");
    EXPECT_EQ(Load(4), "LOADED Triads=3 Leone=0 Cartel=0 Yardies=0");
    Kill(kTriads, 1);
    EXPECT_EQ(Save(5), "4,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    EXPECT_FALSE(testfiles::Exists(leftOver));
}
