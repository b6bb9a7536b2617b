// The world tick: the plugin's heartbeat on hook 0. Once per TickMs of game
// time it resolves the player and the pedestrian pool, keeps the settings
// fresh, judges the gangs and hands over to the notices and the fear pass.
#pragma once

#include <cstdint>

#include "host/host_interface.h"

constexpr uint32_t kSettingsReloadMs = 2000;   // wall clock
constexpr uint32_t kStatusIntervalMs = 10000;  // game clock

// Indexed by host ped type: set for the ped type of every broken gang.
struct BrokenTable {
    bool byPedType[host::kPedTypeCount];
};

// The player is alive, not dying, and the host has them in play.
bool IsPlayerInPlay(const host::HostPed* player);
// The host's mission flag can be read: offset 1..0x1FFFC and a multiple of 4.
bool MissionFlagUsable();
// A usable mission flag that reads 0; an unusable one counts as a mission.
bool NoMissionRunning();
// Hostility mask of the four gangs; fills `broken` for the broken ones.
uint32_t JudgeGangs(BrokenTable& broken);
