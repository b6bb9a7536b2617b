// The simulator's own versions of the host routines: the tails of the eight
// hooked routines (reached after the site's original bytes and their undo)
// and the routines the plugin calls. InstallHost places a jump to each at its
// host address. Each area's file defines its own group.
#pragma once

#include <cstdint>

namespace sim {

// ---- core (host.cpp)
void __cdecl SimWorldUpdate();        // tail of 0x48C850, no arguments
void __cdecl SimWorldUpdateInner();   // 0x492720, reached through the asm probe that records ECX/EDX

// ---- pedestrians (world_peds.cpp)
void __cdecl SimKillCredit(uint8_t* victim, uint32_t arg2);   // tail of 0x420F60
uint8_t __thiscall SimPedDamage(uint8_t* victim, uint8_t* attacker, uint32_t weapon, float amount,
                                uint32_t bodyPart, uint32_t flag);  // tail of 0x4EA420
uint8_t* __cdecl SimFindPlayerPed();                                // 0x4A1150
uint8_t* __cdecl SimFindPlayerEntity();                             // 0x4A10C0
uint8_t __thiscall SimPedFrightTest(uint8_t* ped, uint8_t* player); // 0x4C5700
void __thiscall SimPedClearOrder(uint8_t* ped, int32_t order);     // 0x4D82C0
void __thiscall SimPedGiveOrder(uint8_t* ped, int32_t order, uint8_t* target);  // 0x4D83E0
void __thiscall SimPedWalkAway(uint8_t* ped, int32_t direction);   // 0x4D2750

// ---- zones, new game, saves (world_saves.cpp)
void __cdecl SimZoneInfo(uint32_t zone, uint8_t* record);          // tail of 0x4B6FB0
void __cdecl SimGameInit();                                         // tail of 0x4AAC60
uint8_t __thiscall SimSaveGame(uint8_t* saver, uint32_t argument);  // tail of 0x591EC0
uint8_t __cdecl SimLoadGame();                                      // tail of 0x590A00

// ---- drawing (world_render.cpp)
void __cdecl SimRenderFrame();                                      // tail of 0x509030
void* __cdecl SimRasterCreate(int32_t width, int32_t height, int32_t depth, int32_t flags);
uint8_t* __cdecl SimRasterLock(void* raster, int32_t level, int32_t mode);
void __cdecl SimRasterUnlock(void* raster);
void __cdecl SimRasterDestroy(void* raster);
int32_t __cdecl SimRenderStateGet(int32_t state, uint32_t* value);
int32_t __cdecl SimRenderStateSet(int32_t state, uint32_t value);
float __cdecl SimScreenDepth2D();
int32_t __cdecl SimDrawPrimitive2D(int32_t type, void* vertices, int32_t count);

// Each area's reset, called by ResetWorld.
void ResetPedRoutines();
void ResetSaveRoutines();
void ResetRenderRoutines();

}  // namespace sim
