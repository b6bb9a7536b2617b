// The world tick: pool and player checks, settings refresh, tick interval,
// hostility and status lines, and the player and mission conditions.
#include <algorithm>

#include "fear/world_tick.h"
#include "fear_world.h"

namespace {

const std::string kWorldReady = "WORLD READY: player and pedestrian pool resolved.";
const std::string kAllHostile = "HOSTILE Triads=1 Leone=1 Cartel=1 Yardies=1";

class WorldTick : public FearWorld {
protected:
    static void TickAt(uint32_t now) {
        sim::SetClock(now);
        FearTick();
    }
    static uint32_t& PoolWord(int index) { return sim::Mem<uint32_t*>(sim::addr::PedPoolPointer)[index]; }
};

TEST_F(WorldTick, NothingHappensWithoutAUsablePoolOrPlayer) {
    WriteSettings("TickMs=500\r\n");
    fearState.lastReloadTime = GetTickCount() - 5000;  // a reload would be due
    static uint32_t saved = 0;  // an array pointer swapped out (for 0) and back
    const struct { const char* name; void (*spoil)(bool on); } cases[] = {
        {"inactive", [](bool on) { fearState.active = !on; }},
        {"no pool", [](bool on) { sim::SetPoolPointerNull(on); }},
        {"no objects", [](bool) { std::swap(PoolWord(0), saved); }},
        {"no status", [](bool) { std::swap(PoolWord(1), saved); }},
        {"0 slots", [](bool on) { sim::SetPoolSlotCount(on ? 0 : 64); }},
        {"-1 slots", [](bool on) { sim::SetPoolSlotCount(on ? -1 : 64); }},
        {"513 slots", [](bool on) { sim::SetPoolSlotCount(on ? 513 : 64); }},
        {"no player", [](bool on) { sim::SetPlayerLookupNull(on); }},
    };
    for (const auto& c : cases) {
        c.spoil(true);
        FearTick();
        c.spoil(false);
        EXPECT_TRUE(Log().empty() && !fearState.tickStarted && !fearState.worldReady) << c.name;
        EXPECT_EQ(150u, settings.TickMs) << c.name;
    }
    sim::SetPoolSlotCount(512);
    TickAt(1000);
    EXPECT_EQ((Lines{kWorldReady, kAllHostile}), Log());
    EXPECT_EQ(500u, settings.TickMs);
}

TEST_F(WorldTick, TicksComeOncePerTickMsOfGameTimeOnUnsignedDifferences) {
    const struct {
        uint32_t now, lastTick;
    } steps[] = {{1000, 1000}, {1149, 1000}, {1150, 1150}, {20, 20}, {0xFFFFFFF0, 0xFFFFFFF0}, {0x80, 0xFFFFFFF0}};
    const int32_t gangTypes[4] = {kTriads, kLeone, 12, 11};  // the Cartel and the Yardies after the first two
    int step = 0;
    for (const auto& s : steps) {
        // A hostility of its own for every step: a tick that runs logs it.
        ++step;
        for (int g = 0; g < 4; ++g) sim::SetPedTypeHostile(gangTypes[g], (step >> g) & 1);
        const auto hostilityLines = [this] {
            const Lines log = Log();
            return std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("HOSTILE", 0) == 0; });
        };
        const auto before = hostilityLines();
        TickAt(s.now);
        EXPECT_EQ(s.lastTick, fearState.lastTickTime) << s.now;
        EXPECT_EQ(s.lastTick == s.now ? 1 : 0, hostilityLines() - before) << s.now;
    }
}

TEST_F(WorldTick, SettingsReloadEveryTwoSecondsOfWallClockActsInTheSameCall) {
    TickAt(1000);
    const struct {
        uint32_t ago, tickMs;
        bool reloads;
    } cases[] = {{1000, 500, false}, {2000, 500, true}, {0u - 60000u, 700, true}};  // last: wall clock went back
    uint32_t tickMs = 150;
    for (const auto& c : cases) {
        WriteSettings("TickMs=" + std::to_string(c.tickMs) + "\r\n");
        const uint32_t stamp = fearState.lastReloadTime = GetTickCount() - c.ago;
        const uint32_t lastTick = fearState.lastTickTime;
        TickAt(lastTick + 400);
        if (c.reloads) tickMs = c.tickMs;
        EXPECT_EQ(tickMs, settings.TickMs) << c.ago;
        EXPECT_EQ(c.reloads, fearState.lastReloadTime != stamp) << c.ago;
        EXPECT_EQ(c.reloads ? lastTick : lastTick + 400, fearState.lastTickTime) << c.ago;
    }
}

TEST_F(WorldTick, HostilityLineOnEveryChangeOfTheMaskAndAfterAReset) {
    TickAt(1000);
    TickAt(2000);  // unchanged: no line
    sim::SetPedTypeHostile(kTriads, false);
    TickAt(3000);
    sim::SetPedTypeHostile(kTriads, true);
    sim::SetPedTypeMissing(12);
    TickAt(4000);
    TickAt(5000);
    ResetCounters();
    TickAt(5001);  // the first tick after a reset is not held back by TickMs
    const std::string partial = "HOSTILE Triads=1 Leone=1 Cartel=0 Yardies=1";
    EXPECT_EQ((Lines{kWorldReady, kAllHostile, "HOSTILE Triads=0 Leone=1 Cartel=1 Yardies=1", partial, partial}), Log());
    EXPECT_EQ(5001u, fearState.lastTickTime);
}

TEST_F(WorldTick, StatusLineEveryTenSecondsOnlyWithDiagnosticLog) {
    SetKills({1, 2, 3, 4294967295u});
    fearState.zones = 5;
    fearState.scaled = 6;
    for (uint32_t now : {9000, 10000, 19999}) TickAt(now);
    settings.DiagnosticLog = false;
    TickAt(40000);
    sim::SetPedTypeHostile(kLeone, false);
    TickAt(41000);
    EXPECT_EQ((Lines{kWorldReady, kAllHostile, "STATUS kills=1,2,3,4294967295 managed=0 zones=5 scaled=6",
                     "HOSTILE Triads=1 Leone=0 Cartel=1 Yardies=1"}),
              Log());
    EXPECT_TRUE(fearState.zones == 5 && fearState.lastStatusTime == 10000);
}

TEST_F(WorldTick, BrokenGangsAreHostileAtKillsRequired) {
    SetKills({300, 299, 5000, 300});
    sim::SetPedTypeHostile(12, false);
    BrokenTable broken;
    EXPECT_EQ(0xBu, JudgeGangs(broken));
    for (int type = 0; type < 16; ++type) EXPECT_EQ(type == 8 || type == 11, broken.byPedType[type]) << type;
    settings.stageKills[1] = 400;  // a higher stage threshold rules as well
    JudgeGangs(broken);
    EXPECT_FALSE(broken.byPedType[8]);
}

TEST_F(WorldTick, PlayerInPlayNeedsTheRecordHealthAndStateAndNoMissionAUsableClearFlag) {
    host::HostPed* player = Ped(sim::Player());
    const struct { uint8_t index, record0, record1; float health; uint32_t state; bool inPlay; } cases[] = {
        {0, 0, 0, 100.0f, 1, true},   {1, 3, 0, 100.0f, 1, true},  {1, 0, 3, 100.0f, 1, false},
        {0, 3, 0, 100.0f, 1, false},  {2, 0, 0, 100.0f, 1, false}, {0, 0, 0, 0.0f, 1, false},
        {0, 0, 0, 100.0f, 48, false}, {0, 0, 0, 100.0f, 49, false}, {0, 0, 0, 100.0f, 54, true},
    };
    for (const auto& c : cases) {
        sim::Mem<uint8_t>(sim::addr::PlayerIndex) = c.index;
        sim::Mem<uint8_t>(sim::addr::PlayerRecords) = c.record0;
        sim::Mem<uint8_t>(sim::addr::PlayerRecords + 316) = c.record1;
        player->health = c.health;
        player->state = c.state;
        EXPECT_EQ(c.inPlay, IsPlayerInPlay(player)) << int(c.index) << " " << c.health << " " << c.state;
    }
    EXPECT_TRUE(NoMissionRunning());
    sim::SetMission(true);
    EXPECT_FALSE(NoMissionRunning());
    for (uint32_t offset : {0u, 2u, 0x1FFFDu, 0x20000u, 0xFFFFFFFCu}) {
        sim::SetMissionFlagOffset(offset);
        EXPECT_FALSE(MissionFlagUsable() || NoMissionRunning()) << offset;
    }
    for (uint32_t offset : {4u, 0x1FFFCu}) {
        sim::SetMissionFlagOffset(offset);
        EXPECT_TRUE(NoMissionRunning()) << offset;
        sim::SetMission(true);
        EXPECT_FALSE(NoMissionRunning()) << offset;
    }
}

}  // namespace
