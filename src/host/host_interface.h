// The one place that knows the host: GTA III 1.0 x86. Every address, width,
// structure offset and calling convention the plugin relies on is written
// here once; the rest of the plugin reaches the game through these names.
#pragma once

#include <cstddef>
#include <cstdint>

namespace host {

// ---------------------------------------------------------------- identity
constexpr uintptr_t kImageBase = 0x400000;          // load address of the executable
constexpr uint16_t kDosSignature = 0x5A4D;          // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;       // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint32_t kTimeDateStamp = 0x3CCECE14;     // the 1.0 build's link time
constexpr uint32_t kSizeOfImage = 0x582000;
constexpr uintptr_t kDosLfanewOffset = 0x3C;        // 32-bit e_lfanew in the DOS header
constexpr uintptr_t kPeMachineOffset = 4;           // 16-bit, after the PE signature
constexpr uintptr_t kPeTimeDateStampOffset = 8;     // 32-bit
constexpr uintptr_t kPeSizeOfImageOffset = 0x50;    // 32-bit

// What tells the builds of the game apart when the header tests refuse one:
// each build's entry point starts with the same 32-bit word (push ebp;
// mov ebp, esp; push ebx), at an address of its own. Only the log uses them.
constexpr uint32_t kEntryPointWord = 0x53E58955;
constexpr uintptr_t kEntryPoint10 = 0x5C1E70;       // GTA III 1.0, the supported build
constexpr uintptr_t kEntryPoint11 = 0x5C2130;       // GTA III 1.1
constexpr uintptr_t kEntryPointSteam = 0x5C6FD0;    // the Steam build

// ---------------------------------------------------------------- data
constexpr uintptr_t kPedPoolPointer = 0x8F2C60;     // pointer to HostPoolHeader
constexpr uintptr_t kPedTypeTable = 0x941594;       // HostPedType* [kPedTypeCount]
constexpr uintptr_t kGameClock = 0x885B48;          // unsigned 32-bit, milliseconds
constexpr uintptr_t kPlayerIndex = 0x95CD61;        // byte, 0 or 1 while valid
constexpr uintptr_t kPlayerRecords = 0x9413C8;      // HostPlayerRecord[2], state byte first
constexpr uintptr_t kMissionFlagOffset = 0x8F1B64;  // 32-bit byte offset into the script variables
constexpr uintptr_t kScriptVariables = 0x74B248;    // the script's variable space
constexpr uintptr_t kSavedFilePath = 0x8E2CBC;      // 8-bit path of the save just written
constexpr uintptr_t kLoadFilePath = 0x9403C4;       // 8-bit path of the save about to be read
constexpr uintptr_t kLanguage = 0x941238;           // 32-bit, 0 = English
constexpr uintptr_t kVideoMode = 0x8F4360;          // HostVideoMode
constexpr uintptr_t kOverlayGates[3] = {0x8F5AE9, 0x95CD7C, 0x95CDB1};  // bytes; 0 allows drawing

constexpr int kPedPoolCapacity = 512;               // the largest slot count the plugin accepts
constexpr uint8_t kPoolSlotFree = 0x80;             // status byte bit of a free slot
constexpr int kPedTypeCount = 16;                   // ped types the fear engine can judge
constexpr uint32_t kMissionOffsetLimit = 0x1FFFC;   // usable offsets: 1..0x1FFFC, multiple of 4

// ---------------------------------------------------------------- structures
struct HostVec3 {
    float x, y, z;
};

// Any placeable entity: pedestrians and vehicles share the position offset.
struct HostEntity {
    uint8_t unknown0[0x34];
    HostVec3 position;  // 0x34
};
static_assert(offsetof(HostEntity, position) == 0x34, "entity position");

struct HostPed {
    uint8_t unknown0[0x34];
    HostVec3 position;            // 0x34 x, 0x38 y, 0x3C z
    uint8_t unknown40[0x156 - 0x40];
    uint8_t engageFlags;          // 0x156, bit 1: engages the player
    uint8_t orderFlags;           // 0x157, bit 0x40: the current order wants renewing
    uint8_t unknown158[0x160 - 0x158];
    uint8_t controllable;         // 0x160, 1 while scripts and AI may steer the ped
    uint8_t unknown161[0x164 - 0x161];
    int32_t order;                // 0x164, what the host has the ped doing
    uint8_t unknown168[0x16C - 0x168];
    HostEntity* orderTarget;      // 0x16C
    uint8_t unknown170[0x188 - 0x170];
    uint32_t threatFlags;         // 0x188, bit 0: treats the player as a threat
    uint8_t unknown18C[0x224 - 0x18C];
    uint32_t state;               // 0x224
    uint8_t unknown228[0x2C0 - 0x228];
    float health;                 // 0x2C0
    float armour;                 // 0x2C4
    uint8_t unknown2C8[0x310 - 0x2C8];
    HostEntity* vehicle;          // 0x310
    uint8_t inVehicle;            // 0x314, non-zero while seated in `vehicle`
    uint8_t unknown315[0x32C - 0x315];
    int32_t pedType;              // 0x32C
    uint8_t unknown330[0x5F0 - 0x330];
};
static_assert(sizeof(HostPed) == 1520, "pedestrian object size");
static_assert(offsetof(HostPed, position) == 0x34, "ped position");
static_assert(offsetof(HostPed, engageFlags) == 0x156, "ped engage flags");
static_assert(offsetof(HostPed, orderFlags) == 0x157, "ped order flags");
static_assert(offsetof(HostPed, controllable) == 0x160, "ped controllable byte");
static_assert(offsetof(HostPed, order) == 0x164, "ped order");
static_assert(offsetof(HostPed, orderTarget) == 0x16C, "ped order target");
static_assert(offsetof(HostPed, threatFlags) == 0x188, "ped threat flags");
static_assert(offsetof(HostPed, state) == 0x224, "ped state");
static_assert(offsetof(HostPed, health) == 0x2C0, "ped health");
static_assert(offsetof(HostPed, armour) == 0x2C4, "ped armour");
static_assert(offsetof(HostPed, vehicle) == 0x310, "ped vehicle");
static_assert(offsetof(HostPed, inVehicle) == 0x314, "ped in-vehicle byte");
static_assert(offsetof(HostPed, pedType) == 0x32C, "ped type");

constexpr uint32_t kThreatBit = 0x01;       // in HostPed::threatFlags
constexpr uint8_t kEngageBit = 0x02;        // in HostPed::engageFlags
constexpr uint8_t kRenewOrderBit = 0x40;    // in HostPed::orderFlags
constexpr uint32_t kStateDying = 48;
constexpr uint32_t kStateDead = 49;
constexpr uint32_t kStateLeavingVehicle = 54;  // counts as still in the vehicle

// Order codes of HostPed::order.
constexpr int32_t kOrderNone = 0;
constexpr int32_t kOrderAttack = 7;
constexpr int32_t kOrderAttackFree = 8;     // the attack order the plugin gives
constexpr int32_t kOrderFlee = 9;
constexpr int32_t kOrderLeaveVehicle = 13;

struct HostPoolHeader {
    HostPed* objects;   // array of slotCount objects
    uint8_t* status;    // one byte per slot; kPoolSlotFree marks a free slot
    int32_t slotCount;
};
static_assert(sizeof(HostPoolHeader) == 12, "pool header");
static_assert(offsetof(HostPoolHeader, status) == 4, "pool status array");
static_assert(offsetof(HostPoolHeader, slotCount) == 8, "pool slot count");

struct HostPedType {
    uint8_t unknown0[0x18];
    uint8_t threatFlags;  // 0x18, bit 0: this type regards the player as a threat
};
static_assert(offsetof(HostPedType, threatFlags) == 0x18, "ped type threat flags");

struct HostPlayerRecord {
    uint8_t state;        // 0 while the player is in play
    uint8_t unknown1[0x13C - 1];
};
static_assert(sizeof(HostPlayerRecord) == 316, "player record size");

// The zone-information record filled by the hooked routine at 0x4B6FB0: only
// the gangs' signed 16-bit spawn densities are known, at these byte offsets.
constexpr int kZoneDensityTriads = 40;
constexpr int kZoneDensityLeone = 38;
constexpr int kZoneDensityCartel = 48;
constexpr int kZoneDensityYardies = 46;

struct HostRaster {
    uint8_t unknown0[0x14];
    int32_t depth;        // 0x14, bits per pixel
    int32_t stride;       // 0x18, bytes per row while locked
};
static_assert(offsetof(HostRaster, depth) == 0x14, "raster depth");
static_assert(offsetof(HostRaster, stride) == 0x18, "raster stride");

struct HostVertex2D {
    float x, y, z, rhw;
    uint32_t colour;      // ARGB
    float u, v;
};
static_assert(sizeof(HostVertex2D) == 28, "2D vertex size");
static_assert(offsetof(HostVertex2D, colour) == 16, "2D vertex colour");
static_assert(offsetof(HostVertex2D, u) == 20, "2D vertex u");

// The video mode record. The render size is what the game draws at and its
// HUD uses; the mode size is the largest the video mode allows. They are equal
// in a plain full-screen game, but windowed-mode and resolution mods change
// only the render size.
struct HostVideoMode {
    uint32_t unknown0;
    int32_t renderWidth;   // 0x8F4364, pixels
    int32_t renderHeight;  // 0x8F4368, pixels
    int32_t modeWidth;     // 0x8F436C, pixels
    int32_t modeHeight;    // 0x8F4370, pixels
};
static_assert(offsetof(HostVideoMode, renderWidth) == 4, "video mode render width");
static_assert(offsetof(HostVideoMode, renderHeight) == 8, "video mode render height");
static_assert(offsetof(HostVideoMode, modeWidth) == 12, "video mode largest width");
static_assert(offsetof(HostVideoMode, modeHeight) == 16, "video mode largest height");

constexpr int32_t kRasterFormatTexture8888 = 0x504;
constexpr int32_t kPrimitiveTriangleStrip = 4;

// ---------------------------------------------------------------- data access
template <typename T>
inline T& At(uintptr_t address) {
    return *reinterpret_cast<T*>(address);
}

inline HostPoolHeader* PedPool() { return At<HostPoolHeader*>(kPedPoolPointer); }
inline HostPedType* PedTypeRecord(uint32_t pedType) { return reinterpret_cast<HostPedType**>(kPedTypeTable)[pedType]; }
inline uint32_t GameClock() { return At<uint32_t>(kGameClock); }
inline uint8_t PlayerIndex() { return At<uint8_t>(kPlayerIndex); }
inline const HostPlayerRecord* PlayerRecords() { return reinterpret_cast<const HostPlayerRecord*>(kPlayerRecords); }
inline uint32_t MissionFlagOffset() { return At<uint32_t>(kMissionFlagOffset); }
inline uint32_t ScriptVariable(uint32_t byteOffset) { return At<uint32_t>(kScriptVariables + byteOffset); }
inline const char* SavedFilePath() { return reinterpret_cast<const char*>(kSavedFilePath); }
inline const char* LoadFilePath() { return reinterpret_cast<const char*>(kLoadFilePath); }
// The save routine's object keeps its status in its first 32-bit word: 0 after a good save.
inline uint32_t SaveStatus(const void* saver) { return *static_cast<const uint32_t*>(saver); }
inline uint32_t LanguageWord() { return At<uint32_t>(kLanguage); }
inline int32_t ScreenWidth() { return At<HostVideoMode>(kVideoMode).renderWidth; }
inline int32_t ScreenHeight() { return At<HostVideoMode>(kVideoMode).renderHeight; }
inline uint8_t OverlayGate(int i) { return At<uint8_t>(kOverlayGates[i]); }

// ---------------------------------------------------------------- routines
// Methods take the object in ECX and remove their own stack arguments
// (__thiscall); the free routines leave the arguments to the caller (__cdecl).
constexpr uintptr_t kFindPlayerPed = 0x4A1150;
constexpr uintptr_t kFindPlayerEntity = 0x4A10C0;
constexpr uintptr_t kPedFrightTest = 0x4C5700;
constexpr uintptr_t kPedClearOrder = 0x4D82C0;
constexpr uintptr_t kPedGiveOrder = 0x4D83E0;
constexpr uintptr_t kPedWalkAway = 0x4D2750;
constexpr uintptr_t kRasterCreate = 0x5AD930;
constexpr uintptr_t kRasterLock = 0x5AD9D0;
constexpr uintptr_t kRasterUnlock = 0x5AD6F0;
constexpr uintptr_t kRasterDestroy = 0x5AD780;
constexpr uintptr_t kRenderStateGet = 0x5A4410;
constexpr uintptr_t kRenderStateSet = 0x5A43C0;
constexpr uintptr_t kScreenDepth2D = 0x5A43A0;
constexpr uintptr_t kDrawPrimitive2D = 0x5A4430;

template <typename Fn>
inline Fn Routine(uintptr_t address) { return reinterpret_cast<Fn>(address); }

inline HostPed* FindPlayerPed() { return Routine<HostPed* (__cdecl*)()>(kFindPlayerPed)(); }
inline HostEntity* FindPlayerEntity() { return Routine<HostEntity* (__cdecl*)()>(kFindPlayerEntity)(); }
inline uint8_t PedFrightTest(HostPed* ped, HostPed* player) {
    return Routine<uint8_t (__thiscall*)(HostPed*, HostPed*)>(kPedFrightTest)(ped, player);
}
inline void PedClearOrder(HostPed* ped, int32_t order) {
    Routine<void (__thiscall*)(HostPed*, int32_t)>(kPedClearOrder)(ped, order);
}
inline void PedGiveOrder(HostPed* ped, int32_t order, HostEntity* target) {
    Routine<void (__thiscall*)(HostPed*, int32_t, HostEntity*)>(kPedGiveOrder)(ped, order, target);
}
inline void PedWalkAway(HostPed* ped, int32_t direction) {
    Routine<void (__thiscall*)(HostPed*, int32_t)>(kPedWalkAway)(ped, direction);
}
inline HostRaster* RasterCreate(int32_t width, int32_t height, int32_t depth, int32_t flags) {
    return Routine<HostRaster* (__cdecl*)(int32_t, int32_t, int32_t, int32_t)>(kRasterCreate)(width, height, depth, flags);
}
inline uint8_t* RasterLock(HostRaster* raster, int32_t level, int32_t mode) {
    return Routine<uint8_t* (__cdecl*)(HostRaster*, int32_t, int32_t)>(kRasterLock)(raster, level, mode);
}
inline void RasterUnlock(HostRaster* raster) { Routine<void (__cdecl*)(HostRaster*)>(kRasterUnlock)(raster); }
inline void RasterDestroy(HostRaster* raster) { Routine<void (__cdecl*)(HostRaster*)>(kRasterDestroy)(raster); }
inline int32_t RenderStateGet(int32_t state, uint32_t* value) {
    return Routine<int32_t (__cdecl*)(int32_t, uint32_t*)>(kRenderStateGet)(state, value);
}
inline int32_t RenderStateSet(int32_t state, uint32_t value) {
    return Routine<int32_t (__cdecl*)(int32_t, uint32_t)>(kRenderStateSet)(state, value);
}
inline float ScreenDepth2D() { return Routine<float (__cdecl*)()>(kScreenDepth2D)(); }
inline void DrawPrimitive2D(int32_t type, HostVertex2D* vertices, int32_t count) {
    Routine<int32_t (__cdecl*)(int32_t, HostVertex2D*, int32_t)>(kDrawPrimitive2D)(type, vertices, count);
}

// ---------------------------------------------------------------- hooked routines
// Signatures of the eight routines the plugin takes over, as their trampolines
// are called. Sites 0, 1, 2 and 4 are entered through the stubs of
// handler_stubs.cpp, which need register control.
constexpr uintptr_t kSiteWorldUpdate = 0x48C850;   // no arguments; ECX and EDX pass through
constexpr uintptr_t kSiteWorldUpdateCallee = 0x492720;  // target of the call displaced from 0x48C850
constexpr uintptr_t kSiteKillCredit = 0x420F60;    // (HostPed* victim, ...) caller removes
constexpr uintptr_t kSitePedDamage = 0x4EA420;     // method on the victim, five arguments
constexpr uintptr_t kSiteZoneInfo = 0x4B6FB0;      // (uint32, zone record*) caller removes
constexpr uintptr_t kSiteGameInit = 0x4AAC60;      // no arguments
constexpr uintptr_t kSiteSaveGame = 0x591EC0;      // method, one argument, byte result
constexpr uintptr_t kSiteLoadGame = 0x590A00;      // no arguments, byte result
constexpr uintptr_t kSiteRenderFrame = 0x509030;   // no arguments, no result

using PedDamageFn = uint8_t (__thiscall*)(HostPed* victim, HostEntity* attacker, uint32_t weapon,
                                          float amount, uint32_t bodyPart, uint32_t flag);
using ZoneInfoFn = void (__cdecl*)(uint32_t zone, uint8_t* record);
using SaveGameFn = uint8_t (__thiscall*)(void* saver, uint32_t argument);
using LoadGameFn = uint8_t (__cdecl*)();
using RenderFrameFn = void (__cdecl*)();

}  // namespace host
