#include "world.h"

#include <cstring>

#include "host_routines.h"
#include "sim.h"

namespace sim {

namespace {

constexpr int kPedTypes = 16;
constexpr int kVehicles = 32;
constexpr uint32_t kVehicleSize = 0x100;
constexpr int32_t kGangPedTypes[] = {7, 8, 11, 12};

struct PoolHeader {
    uint8_t* objects;
    uint8_t* status;
    int32_t slotCount;
};

struct PedTypeRecord {
    uint8_t bytes[0x20];  // threat flag byte at 0x18
};

alignas(16) uint8_t pedObjects[kPoolSlots * ped::Size];
uint8_t pedStatus[kPoolSlots];
uint8_t slotGeneration[kPoolSlots];
PoolHeader pool;
PedTypeRecord pedTypes[kPedTypes];
alignas(16) uint8_t vehicles[kVehicles * kVehicleSize];
int vehiclesUsed;
int playerSlot;

void SetStatus(int slot, uint8_t value) { pedStatus[slot] = value; }

}  // namespace

void ResetWorld(int slotCount) {
    memset(pedObjects, 0, sizeof pedObjects);
    memset(pedTypes, 0, sizeof pedTypes);
    memset(vehicles, 0, sizeof vehicles);
    vehiclesUsed = 0;
    for (int slot = 0; slot < kPoolSlots; ++slot) SetStatus(slot, 0x80 | slotGeneration[slot]);
    pool = {pedObjects, pedStatus, slotCount};
    Mem<PoolHeader*>(addr::PedPoolPointer) = &pool;
    for (int type = 0; type < kPedTypes; ++type) Mem<PedTypeRecord*>(addr::PedTypeTable + 4 * type) = &pedTypes[type];
    for (int32_t type : kGangPedTypes) SetPedTypeHostile(type, true);

    playerSlot = 0;
    uint8_t* player = SpawnPed(0, 0, 0.0f, 0.0f, 0.0f);
    Field<uint32_t>(player, ped::State) = 1;

    SetClock(0);
    Mem<uint8_t>(addr::PlayerIndex) = 0;
    // Only the state bytes: the second record overlaps the ped-type table.
    Mem<uint8_t>(addr::PlayerRecords) = 0;
    Mem<uint8_t>(addr::PlayerRecords + 316) = 0;
    SetMissionFlagOffset(kMissionFlagOffsetDefault);
    SetMission(false);
    SetScreen(800, 600);
    SetLanguage(0);
    SetWindowsLanguage(kEnglishUs, kEnglishUs);
    for (int gate = 0; gate < 3; ++gate) SetOverlayGate(gate, 0);
    ResetKeyboard();

    routines = RoutineLog{};
    ResetPedRoutines();
    ResetSaveRoutines();
    ResetRenderRoutines();
}

uint8_t* PedAt(int slot) { return pedObjects + slot * ped::Size; }
uint8_t* Player() { return PedAt(playerSlot); }

void MovePlayerToSlot(int slot) {
    uint8_t* old = Player();
    const float x = Field<float>(old, ped::X), y = Field<float>(old, ped::Y), z = Field<float>(old, ped::Z);
    FreeSlot(playerSlot);
    FreeSlot(slot);
    playerSlot = slot;
    Field<uint32_t>(SpawnPed(slot, 0, x, y, z), ped::State) = 1;
}
uint8_t SlotStatus(int slot) { return pedStatus[slot]; }

uint8_t* SpawnPed(int slot, int32_t pedType, float x, float y, float z) {
    slotGeneration[slot] = static_cast<uint8_t>((slotGeneration[slot] + 1) & 0x7F);
    SetStatus(slot, slotGeneration[slot]);
    uint8_t* p = PedAt(slot);
    memset(p, 0, ped::Size);
    Field<int32_t>(p, ped::PedType) = pedType;
    Field<float>(p, ped::Health) = 100.0f;
    Field<uint8_t>(p, ped::Controllable) = 1;
    Field<uint32_t>(p, ped::State) = 1;
    // Gang members treat the player as a threat and engage him by default.
    Field<uint32_t>(p, ped::Threat) = pedType == 0 ? 0 : 0x1;
    Field<uint8_t>(p, ped::Engage) = pedType == 0 ? 0 : 0x2;
    MovePed(p, x, y, z);
    return p;
}

void FreeSlot(int slot) { SetStatus(slot, 0x80 | slotGeneration[slot]); }

void MovePed(uint8_t* p, float x, float y, float z) {
    Field<float>(p, ped::X) = x;
    Field<float>(p, ped::Y) = y;
    Field<float>(p, ped::Z) = z;
}

void KillPed(uint8_t* p) {
    Field<float>(p, ped::Health) = 0.0f;
    Field<uint32_t>(p, ped::State) = 49;
}

uint8_t* NewVehicle(float x, float y, float z) {
    uint8_t* v = vehicles + (vehiclesUsed++ % kVehicles) * kVehicleSize;
    memset(v, 0, kVehicleSize);
    MovePed(v, x, y, z);
    return v;
}

void SeatPed(uint8_t* p, uint8_t* vehicle) {
    Field<uint8_t*>(p, ped::Vehicle) = vehicle;
    Field<uint8_t>(p, ped::InVehicle) = 1;
}

void UnseatPed(uint8_t* p) { Field<uint8_t>(p, ped::InVehicle) = 0; }

void SetPedTypeHostile(int32_t pedType, bool hostile) {
    Mem<PedTypeRecord*>(addr::PedTypeTable + 4 * pedType) = &pedTypes[pedType];
    uint8_t& flags = pedTypes[pedType].bytes[0x18];
    flags = hostile ? (flags | 1) : (flags & ~1);
}

void SetPedTypeMissing(int32_t pedType) { Mem<PedTypeRecord*>(addr::PedTypeTable + 4 * pedType) = nullptr; }
void SetPoolPointerNull(bool isNull) { Mem<PoolHeader*>(addr::PedPoolPointer) = isNull ? nullptr : &pool; }
void SetPoolSlotCount(int32_t count) { pool.slotCount = count; }

void SetClock(uint32_t ms) { Mem<uint32_t>(addr::GameClock) = ms; }
void AdvanceClock(uint32_t ms) { Mem<uint32_t>(addr::GameClock) += ms; }
uint32_t Clock() { return Mem<uint32_t>(addr::GameClock); }

void SetMission(bool running) {
    const uint32_t offset = Mem<uint32_t>(addr::MissionFlagOffset);
    if (offset - 1 < 0x1FFFC && offset % 4 == 0) Mem<uint32_t>(addr::ScriptVariables + offset) = running ? 1 : 0;
}
void SetMissionFlagOffset(uint32_t offset) { Mem<uint32_t>(addr::MissionFlagOffset) = offset; }
void SetPlayerInPlay(bool inPlay) {
    Mem<uint8_t>(addr::PlayerRecords + 316 * Mem<uint8_t>(addr::PlayerIndex)) = inPlay ? 0 : 1;
}

void SetScreen(int32_t width, int32_t height, int32_t modeWidth, int32_t modeHeight) {
    Mem<int32_t>(addr::RenderWidth) = width;
    Mem<int32_t>(addr::RenderHeight) = height;
    Mem<int32_t>(addr::ModeWidth) = modeWidth ? modeWidth : width;
    Mem<int32_t>(addr::ModeHeight) = modeHeight ? modeHeight : height;
}
void SetLanguage(uint32_t language) { Mem<uint32_t>(addr::Language) = language; }
void SetOverlayGate(int gate, uint8_t value) {
    const uint32_t gates[3] = {addr::Gate0, addr::Gate1, addr::Gate2};
    Mem<uint8_t>(gates[gate]) = value;
}

}  // namespace sim
