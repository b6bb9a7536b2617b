// The simulated game world: the pedestrian pool, ped types, the player, the
// game clock and the mission flag, kept at the host's addresses.
#pragma once

#include <cstdint>

namespace sim {

constexpr int kPoolSlots = 512;
constexpr uint32_t kMissionFlagOffsetDefault = 0x3C;  // a usable offset into the script variables

// An empty world: pool of `slotCount` free slots, the player standing at the
// origin in slot 0 (ped type 0), every gang ped type (7, 8, 11, 12) hostile,
// clock 0, no mission, player 0 in play, screen 800x600, English.
void ResetWorld(int slotCount = 64);

uint8_t* PedAt(int slot);          // the object of a slot (whether or not in use)
uint8_t* Player();                 // the player's object (slot 0 unless moved)
// Moves the player into `slot` (freed first), leaving its old slot free: the
// game gives the player no fixed slot.
void MovePlayerToSlot(int slot);
uint8_t SlotStatus(int slot);
// Puts a new living pedestrian into a free slot; its status byte differs from
// the slot's previous occupant's. Returns the object.
uint8_t* SpawnPed(int slot, int32_t pedType, float x, float y, float z);
void FreeSlot(int slot);
void MovePed(uint8_t* ped, float x, float y, float z);
void KillPed(uint8_t* ped);        // health 0, state 49

// A vehicle (only its position matters) that a ped sits in.
uint8_t* NewVehicle(float x, float y, float z);
void SeatPed(uint8_t* ped, uint8_t* vehicle);
void UnseatPed(uint8_t* ped);

void SetPedTypeHostile(int32_t pedType, bool hostile);
void SetPedTypeMissing(int32_t pedType);   // null table entry
void SetPoolPointerNull(bool isNull);
void SetPoolSlotCount(int32_t count);

void SetClock(uint32_t ms);
void AdvanceClock(uint32_t ms);
uint32_t Clock();

void SetMission(bool running);
void SetMissionFlagOffset(uint32_t offset);
void SetPlayerInPlay(bool inPlay);         // the state byte of the player's record

// The render size and the video mode's largest size, equal unless given apart
// (a window smaller than the desktop).
void SetScreen(int32_t width, int32_t height, int32_t modeWidth = 0, int32_t modeHeight = 0);
void SetLanguage(uint32_t language);
void SetOverlayGate(int gate, uint8_t value);

// The keyboard and the window in front (ResetWorld: no key down, the game's
// window in front).
enum class Foreground { Game, OtherProgram, Nobody };
void ResetKeyboard();
void SetKeyDown(uint8_t virtualKey, bool down);
void SetForeground(Foreground window);

}  // namespace sim
