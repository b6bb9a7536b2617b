// A new game (the host's re-initialisation) clears what belonged to the last one.
#include <gtest/gtest.h>

#include "save_test_session.h"

namespace {

constexpr uint32_t kVariableClearedByTheHost = 0x8E2C50;

class GameReset : public SaveSession {};

}  // namespace

TEST_F(GameReset, NewGameClearsCountersMarksRecordsAndNoticesAfterTheHostRoutine) {
    settings.stageKills[2] = 444;
    const struct {
        const char* name;
        bool enabled, active;
    } cases[] = {{"on", true, true}, {"switched off", false, true}, {"inactive", true, false}};
    int runs = 0;
    for (const auto& c : cases) {
        PlayForAWhile();
        settings.Enabled = c.enabled;
        fearState.active = c.active;
        sim::Mem<uint32_t>(kVariableClearedByTheHost) = 0x1234;
        const sim::CallResult call = sim::StartNewGame(true);  // its zone lookup belongs to the new game
        EXPECT_TRUE(call.registersKept && call.stackBalanced) << c.name;
        EXPECT_EQ(sim::routines.runs[4], ++runs) << c.name;
        EXPECT_EQ(sim::routines.runs[3], runs) << c.name;
        EXPECT_EQ(sim::Mem<uint32_t>(kVariableClearedByTheHost), 0u) << c.name;
        fearState.active = true;
        ExpectFreshGame(Values(20, 0));
    }
    EXPECT_EQ(KillsRequired(), 444u);
    EXPECT_TRUE(Log().empty());
}
