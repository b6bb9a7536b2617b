// The world tick: pool and player checks, settings refresh, tick interval,
// hostility and status lines, and the player and mission conditions.
#include "fear/world_tick.h"
#include "fear_world.h"
#include "host/handler_entries.h"

namespace {

const std::string kWorldReady = "WORLD READY: player and pedestrian pool resolved.";
const std::string kAllHostile = "HOSTILE Triads=1 Leone=1 Cartel=1 Yardies=1";

class WorldTick : public FearWorld {};

TEST_F(WorldTick, NothingHappensWithoutAUsablePoolOrPlayer) {
    fearState.active = false;
    FearTick();
    fearState.active = true;
    sim::SetPoolPointerNull(true);
    FearTick();
    sim::SetPoolPointerNull(false);
    for (int32_t count : {0, -1, 513}) {
        sim::SetPoolSlotCount(count);
        FearTick();
    }
    EXPECT_TRUE(Log().empty());
    EXPECT_FALSE(fearState.tickStarted);
    EXPECT_FALSE(fearState.worldReady);

    sim::SetPoolSlotCount(512);
    FearTick();
    sim::AdvanceClock(1000);
    FearTick();
    EXPECT_EQ((std::vector<std::string>{kWorldReady, kAllHostile}), Log());
}

TEST_F(WorldTick, OversizedPoolSkipsTheSettingsRefreshToo) {
    WriteSettings("TickMs=500\r\n");
    fearState.lastReloadTime = GetTickCount() - 5000;
    sim::SetPoolSlotCount(513);
    FearTick();
    EXPECT_EQ(150u, settings.TickMs);
}

TEST_F(WorldTick, TicksComeOncePerTickMsOfGameTime) {
    sim::SetClock(1000);
    FearTick();
    EXPECT_TRUE(fearState.tickStarted);
    EXPECT_EQ(1000u, fearState.lastTickTime);
    sim::SetClock(1149);
    FearTick();
    EXPECT_EQ(1000u, fearState.lastTickTime);
    sim::SetClock(1150);
    FearTick();
    EXPECT_EQ(1150u, fearState.lastTickTime);
    sim::SetClock(20);  // the clock ran backwards: a huge difference
    FearTick();
    EXPECT_EQ(20u, fearState.lastTickTime);
    sim::SetClock(0xFFFFFFF0);
    FearTick();
    sim::SetClock(0x00000080);  // wrapped: 0x90 ms later
    FearTick();
    EXPECT_EQ(0xFFFFFFF0u, fearState.lastTickTime);
}

TEST_F(WorldTick, ReloadedTickMsActsInTheSameCall) {
    sim::SetClock(1000);
    FearTick();
    WriteSettings("TickMs=500\r\n");
    fearState.lastReloadTime = GetTickCount() - 2000;
    sim::SetClock(1300);
    FearTick();
    EXPECT_EQ(500u, settings.TickMs);
    EXPECT_EQ(1000u, fearState.lastTickTime);
    EXPECT_LT(GetTickCount() - fearState.lastReloadTime, 2000u);
}

TEST_F(WorldTick, HostilityLineOnEveryChangeOfTheMask) {
    FearTick();
    sim::AdvanceClock(1000);
    FearTick();  // unchanged: no line
    sim::SetPedTypeHostile(kTriads, false);
    sim::AdvanceClock(1000);
    FearTick();
    sim::SetPedTypeHostile(kTriads, true);
    sim::SetPedTypeMissing(12);
    sim::AdvanceClock(1000);
    FearTick();
    EXPECT_EQ((std::vector<std::string>{kWorldReady, kAllHostile, "HOSTILE Triads=0 Leone=1 Cartel=1 Yardies=1",
                                        "HOSTILE Triads=1 Leone=1 Cartel=0 Yardies=1"}),
              Log());
    EXPECT_EQ(0xBu, fearState.lastHostileMask);

    fearState.lastHostileMask = 0xFFFFFFFF;  // as after a reset
    sim::AdvanceClock(1000);
    FearTick();
    EXPECT_EQ("HOSTILE Triads=1 Leone=1 Cartel=0 Yardies=1", Log().back());
    EXPECT_EQ(5u, Log().size());
}

TEST_F(WorldTick, StatusLineEveryTenSecondsOnlyWithDiagnosticLog) {
    fearState.gangs[0].kills = 1;
    fearState.gangs[1].kills = 2;
    fearState.gangs[2].kills = 3;
    fearState.gangs[3].kills = 4294967295u;
    fearState.zones = 5;
    fearState.scaled = 6;
    sim::SetClock(9000);
    FearTick();
    EXPECT_EQ(2u, Log().size());
    sim::SetClock(10000);
    FearTick();
    EXPECT_EQ("STATUS kills=1,2,3,4294967295 managed=0 zones=5 scaled=6", Log().back());
    sim::SetClock(19999);
    FearTick();
    EXPECT_EQ(3u, Log().size());
    EXPECT_EQ(5u, fearState.zones);

    settings.DiagnosticLog = false;
    sim::SetClock(40000);
    FearTick();
    sim::SetPedTypeHostile(kLeone, false);
    sim::SetClock(41000);
    FearTick();
    EXPECT_EQ((std::vector<std::string>{kWorldReady, kAllHostile,
                                        "STATUS kills=1,2,3,4294967295 managed=0 zones=5 scaled=6",
                                        "HOSTILE Triads=1 Leone=0 Cartel=1 Yardies=1"}),
              Log());
}

TEST_F(WorldTick, NewGameRepeatsTheHostilityLineButNotWorldReady) {
    FearTick();
    ResetCounters();
    sim::AdvanceClock(1);  // a reset tick is not held back by TickMs
    FearTick();
    EXPECT_EQ(1u, fearState.lastTickTime);
    EXPECT_EQ((std::vector<std::string>{kWorldReady, kAllHostile, kAllHostile}), Log());
}

TEST_F(WorldTick, BrokenGangsAreHostileAtKillsRequired) {
    fearState.gangs[0].kills = 300;  // Triads, ped type 8
    fearState.gangs[1].kills = 299;
    fearState.gangs[2].kills = 5000;
    fearState.gangs[3].kills = 300;
    sim::SetPedTypeHostile(12, false);
    BrokenTable broken;
    EXPECT_EQ(0xBu, JudgeGangs(broken));
    for (int type = 0; type < 16; ++type) EXPECT_EQ(type == 8 || type == 11, broken.byPedType[type]) << type;

    // With Stage2Kills above KillsRequired (not possible from the file) the higher one rules.
    settings.stageKills[1] = 400;
    JudgeGangs(broken);
    EXPECT_FALSE(broken.byPedType[8]);
}

TEST_F(WorldTick, PlayerInPlayNeedsTheRecordHealthAndState) {
    host::HostPed* player = Ped(sim::Player());
    EXPECT_TRUE(IsPlayerInPlay(player));
    sim::SetPlayerInPlay(false);
    EXPECT_FALSE(IsPlayerInPlay(player));
    sim::SetPlayerInPlay(true);
    sim::Mem<uint8_t>(sim::addr::PlayerIndex) = 1;
    EXPECT_TRUE(IsPlayerInPlay(player));
    sim::Mem<uint8_t>(sim::addr::PlayerRecords + 316) = 3;
    EXPECT_FALSE(IsPlayerInPlay(player));
    sim::Mem<uint8_t>(sim::addr::PlayerIndex) = 2;
    EXPECT_FALSE(IsPlayerInPlay(player));
    sim::Mem<uint8_t>(sim::addr::PlayerIndex) = 0;
    player->health = 0.0f;
    EXPECT_FALSE(IsPlayerInPlay(player));
    player->health = 100.0f;
    for (uint32_t state : {48u, 49u}) {
        player->state = state;
        EXPECT_FALSE(IsPlayerInPlay(player));
    }
    player->state = 54;
    EXPECT_TRUE(IsPlayerInPlay(player));
}

TEST_F(WorldTick, MissionFlagMustBeUsableAndClear) {
    EXPECT_TRUE(NoMissionRunning());
    sim::SetMission(true);
    EXPECT_FALSE(NoMissionRunning());
    for (uint32_t offset : {0u, 2u, 0x1FFFDu, 0x20000u, 0xFFFFFFFCu}) {
        sim::SetMissionFlagOffset(offset);
        EXPECT_FALSE(MissionFlagUsable()) << offset;
        EXPECT_FALSE(NoMissionRunning()) << offset;
    }
    for (uint32_t offset : {4u, 0x1FFFCu}) {
        sim::SetMissionFlagOffset(offset);
        sim::SetMission(false);
        EXPECT_TRUE(NoMissionRunning()) << offset;
    }
}

TEST_F(WorldTick, HookedTickKeepsTheHostsRegisters) {
    InstallPluginHooks();
    const int runs = sim::routines.runs[0];
    const sim::CallResult call = sim::CallHost(sim::addr::SiteWorldUpdate, {}, false, 0x11223344, 0x55667788);
    EXPECT_TRUE(call.registersKept);
    EXPECT_TRUE(call.stackBalanced);
    EXPECT_EQ(0x11223344u, sim::routines.innerEcx);
    EXPECT_EQ(0x55667788u, sim::routines.innerEdx);
    EXPECT_EQ(runs + 1, sim::routines.runs[0]);
    EXPECT_EQ((std::vector<std::string>{kWorldReady, kAllHostile}), Log());
}

}  // namespace
