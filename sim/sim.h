// The simulated host: GTA III 1.0's memory as the plugin sees it, inside the
// window 0x420000..0x982000 that quellhost.exe keeps for it. Written from the
// plugin's documented view of the game, independently of the plugin's own
// headers, so that a wrong address or offset in the plugin shows up here.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// ------------------------------------------------------------ fixed addresses
namespace addr {
constexpr uint32_t PedPoolPointer = 0x8F2C60;
constexpr uint32_t PedTypeTable = 0x941594;
constexpr uint32_t GameClock = 0x885B48;
constexpr uint32_t PlayerIndex = 0x95CD61;
constexpr uint32_t PlayerRecords = 0x9413C8;   // 316 bytes each, state byte first
constexpr uint32_t MissionFlagOffset = 0x8F1B64;
constexpr uint32_t ScriptVariables = 0x74B248;
constexpr uint32_t SavedFilePath = 0x8E2CBC;
constexpr uint32_t LoadFilePath = 0x9403C4;
constexpr uint32_t Language = 0x941238;
// The video mode record: the size the game renders at (what its HUD uses), then
// the largest size the mode allows. Windowed-mode mods change only the first.
constexpr uint32_t RenderWidth = 0x8F4364, RenderHeight = 0x8F4368;
constexpr uint32_t ModeWidth = 0x8F436C, ModeHeight = 0x8F4370;
constexpr uint32_t Gate0 = 0x8F5AE9, Gate1 = 0x95CD7C, Gate2 = 0x95CDB1;

// Hook sites and the routine site 0 calls.
constexpr uint32_t SiteWorldUpdate = 0x48C850, WorldUpdateInner = 0x492720;
constexpr uint32_t SiteKillCredit = 0x420F60;
constexpr uint32_t SitePedDamage = 0x4EA420;
constexpr uint32_t SiteZoneInfo = 0x4B6FB0;
constexpr uint32_t SiteGameInit = 0x4AAC60;
constexpr uint32_t SiteSaveGame = 0x591EC0;
constexpr uint32_t SiteLoadGame = 0x590A00;
constexpr uint32_t SiteRenderFrame = 0x509030;

// The first word of each build's entry point (push ebp; mov ebp, esp; push
// ebx), at the entry point of 1.0, 1.1 and the Steam build.
constexpr uint32_t EntryPointWord = 0x53E58955;
constexpr uint32_t EntryPoint10 = 0x5C1E70, EntryPoint11 = 0x5C2130, EntryPointSteam = 0x5C6FD0;

// Routines the plugin calls.
constexpr uint32_t FindPlayerPed = 0x4A1150, FindPlayerEntity = 0x4A10C0;
constexpr uint32_t PedFrightTest = 0x4C5700, PedClearOrder = 0x4D82C0, PedGiveOrder = 0x4D83E0,
                   PedWalkAway = 0x4D2750;
constexpr uint32_t RasterCreate = 0x5AD930, RasterLock = 0x5AD9D0, RasterUnlock = 0x5AD6F0,
                   RasterDestroy = 0x5AD780;
constexpr uint32_t RenderStateGet = 0x5A4410, RenderStateSet = 0x5A43C0, ScreenDepth2D = 0x5A43A0,
                   DrawPrimitive2D = 0x5A4430;
}  // namespace addr

// Pedestrian object layout (1520 bytes).
namespace ped {
constexpr uint32_t Size = 1520;
constexpr uint32_t X = 0x34, Y = 0x38, Z = 0x3C;
constexpr uint32_t Engage = 0x156, OrderFlags = 0x157, Controllable = 0x160, Order = 0x164,
                   OrderTarget = 0x16C, Threat = 0x188, State = 0x224, Health = 0x2C0, Armour = 0x2C4,
                   Vehicle = 0x310, InVehicle = 0x314, PedType = 0x32C;
}  // namespace ped

template <typename T>
inline T& Mem(uint32_t address) { return *reinterpret_cast<T*>(static_cast<uintptr_t>(address)); }
template <typename T>
inline T& Field(void* object, uint32_t offset) { return *reinterpret_cast<T*>(static_cast<uint8_t*>(object) + offset); }

// ------------------------------------------------------------ the host
// Writes the original bytes of the eight sites with their continuations, the
// routine stubs, and an empty world. Call before the plugin is loaded.
void InstallHost();
// True when the eight sites hold exactly the bytes InstallHost wrote.
bool SitesPristine();
// Bytes at a host address, for checks.
std::vector<uint8_t> ReadBytes(uint32_t address, uint32_t count);
// Writes a 5-byte jump at `address` to `target`.
void PlaceJump(uint32_t address, const void* target);
// The host executable's header fields the plugin recognises the game by.
void SetHeaderTimeDateStamp(uint32_t value);
void SetHeaderSizeOfImage(uint32_t value);

// Which program the process is: GTA III 1.0 (InstallHost's choice), 1.1 or the
// Steam build (the entry-point word at their addresses, header fields that are
// not 1.0's), or an unknown program (header fields of its own, and nothing
// readable at any of the three entry points: no access, or a guard page at 1.1's).
enum class HostBuild { V10, V11, Steam, Unknown };
void SetHostBuild(HostBuild build);
// The header fields SetHostBuild writes for each build. 1.0's are the game's;
// the others are the simulator's stand-ins.
struct HeaderFields {
    uint32_t timeDateStamp, sizeOfImage;
};
HeaderFields HeaderFieldsOf(HostBuild build);

// Another mod taking over a host routine: loads widescreen.asi (built with the
// simulator, next to quellhost.exe) and writes at `site` a jump or call to its
// exported routine. False when the module cannot be loaded.
enum class OtherModPatch {
    Jump,          // E9 rel32
    Call,          // E8 rel32, then a return
    ShortJump,     // EB rel8 back to an E9 rel32 in the 5 bytes before the site, as hot-patching writes
    IndirectJump,  // FF 25 and the address of a pointer to the routine
    PadCall,       // E8 rel32 alone, the rest of the routine kept: a controller mod's call at the world update
};
bool PlaceOtherModPatch(uint32_t site, OtherModPatch form);
constexpr char kOtherModFile[] = "widescreen.asi";
// How often the game ran widescreen.asi's routine.
long OtherModRuns();
// Another mod hooking `site` over the jump it holds, as hooking libraries do:
// the site jumps to its detour, which counts and then runs the site's jump,
// copied (and relocated) into memory of its own. False when the site holds no
// rel32 jump.
bool ChainThroughSite(uint32_t site);
long ChainedRuns();  // how often the detour ran

// FreeLibrary of a module's last reference, as Windows' loader does it: a pin
// of that module requested from its DLL_PROCESS_DETACH is refused.
void FreeLastReference(void* module);

// The game's code (0x420000..0x982000) refuses protection changes after
// `allowedChanges` more of them, from any module, as when another program
// holds the executable's pages; a negative value lifts the lock.
void LockHostCode(int allowedChanges);

// A kernel32 function taken over for the whole process: its first instruction
// becomes a jump to `replacement`, so every module reaches the replacement,
// from its own start-up on. RestoreEntry puts the original bytes back.
constexpr int kEntryBytes = 5;
struct EntryRedirect {
    uint8_t* entry;  // null while not redirected
    uint8_t original[kEntryBytes];
};
void RedirectEntry(EntryRedirect& redirect, const char* name, const void* replacement);
void RestoreEntry(EntryRedirect& redirect);

// The language of Windows' user interface and of the user locale, as language
// identifiers (0x0409 English, 0x0419 Russian, 0x0422 Ukrainian...). A new
// world is an English Windows with English regional formats.
constexpr uint16_t kEnglishUs = 0x0409, kRussian = 0x0419, kUkrainian = 0x0422, kBelarusian = 0x0423;
void SetWindowsLanguage(uint16_t language, uint16_t locale);

// ------------------------------------------------------------ calling the host's routines
// Calls code at `address` as the game would: the given ECX/EDX and stack
// arguments, marked values in EBX, ESI, EDI and EBP. Afterwards it reports
// whether the callee-saved registers survived and the stack came back as the
// convention requires (callee removes its arguments when calleePops).
struct CallResult {
    uint32_t eax;
    bool registersKept;
    bool stackBalanced;
};
CallResult CallHost(uint32_t address, std::initializer_list<uint32_t> args, bool calleePops,
                    uint32_t ecx = 0xC0C0C0C0, uint32_t edx = 0xD0D0D0D0);

// One host frame: the world update (hook 0) then the frame drawing (hook 7),
// both entered at their sites with the register checks of CallHost.
void RunFrame();

// What the host routines behind the eight sites saw: how often each ran in
// full, and the ECX/EDX that reached the routine at 0x492720.
struct RoutineLog {
    int runs[8];
    int innerRuns;
    uint32_t innerEcx, innerEdx;
};
extern RoutineLog routines;
// Runs inside the host's world update routine (behind 0x48C850), to change the
// world there as the game does during its update; InstallHost clears it.
extern void (*onWorldUpdate)();

// ------------------------------------------------------------ the trace
// One line per thing the plugin did to the world (orders, densities, notices,
// log lines...). quellsim prints it; tests search it.
void Trace(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
extern std::vector<std::string> trace;
// Traces every text the loaded `module` draws with DrawTextW (not its
// measuring calls) as `text "..."`.
void TraceRenderedTexts(void* module);

}  // namespace sim
