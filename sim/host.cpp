// The host's code: the eight hooked routines' original first bytes followed
// by a short continuation that undoes them and jumps to the simulator's own
// routine, and jumps at the addresses of the routines the plugin calls.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host_routines.h"
#include "sim.h"
#include "world.h"

namespace sim {

RoutineLog routines;
std::vector<std::string> trace;

namespace {

struct SiteCode {
    uint32_t address;
    std::vector<uint8_t> bytes;  // original bytes + undo; the jump to the tail follows
    const void* tail;
};

std::vector<SiteCode> siteCodes;

void WriteJump(uint8_t* at, const void* target) {
    at[0] = 0xE9;
    const uint32_t displacement = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target) -
                                                        (reinterpret_cast<uintptr_t>(at) + 5));
    memcpy(at + 1, &displacement, 4);
}

void WriteSite(const SiteCode& code) {
    uint8_t* at = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(code.address));
    memcpy(at, code.bytes.data(), code.bytes.size());
    WriteJump(at + code.bytes.size(), code.tail);
}

std::vector<uint8_t> Le32(uint32_t value) {
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

void BuildSiteCodes() {
    using V = std::vector<uint8_t>;
    // The call at 0x48C850 is relative: E8 CB 5E 00 00 reaches 0x492720.
    siteCodes = {
        {addr::SiteWorldUpdate, V{0xE8, 0xCB, 0x5E, 0x00, 0x00}, reinterpret_cast<const void*>(&SimWorldUpdate)},
        {addr::SiteKillCredit, V{0x66, 0x83, 0x3D, 0xB4, 0xCC, 0x95, 0x00, 0x01},
         reinterpret_cast<const void*>(&SimKillCredit)},
        {addr::SitePedDamage, V{0xD9, 0x05, 0xB8, 0x9A, 0x5F, 0x00, /* fstp st(0) */ 0xDD, 0xD8},
         reinterpret_cast<const void*>(&SimPedDamage)},
        {addr::SiteZoneInfo, V{0x53, 0x56, 0x57, 0x83, 0xEC, 0x10, /* add esp,0x10; pop edi/esi/ebx */ 0x83, 0xC4,
                               0x10, 0x5F, 0x5E, 0x5B},
         reinterpret_cast<const void*>(&SimZoneInfo)},
        {addr::SiteGameInit, V{0x31, 0xC0, 0xC7, 0x05, 0x50, 0x2C, 0x8E, 0x00, 0x00, 0x00, 0x00, 0x00},
         reinterpret_cast<const void*>(&SimGameInit)},
        {addr::SiteSaveGame, V{0x53, 0x56, 0x55, 0x89, 0xCE, /* pop ebp/esi/ebx */ 0x5D, 0x5E, 0x5B},
         reinterpret_cast<const void*>(&SimSaveGame)},
        {addr::SiteLoadGame, V{0x55, 0x89, 0xE5, 0x56, 0x57, /* pop edi/esi/ebp */ 0x5F, 0x5E, 0x5D},
         reinterpret_cast<const void*>(&SimLoadGame)},
        {addr::SiteRenderFrame, V{0x53, 0x56, 0x55, 0x83, 0xEC, 0x68, /* add esp,0x68; pop ebp/esi/ebx */ 0x83, 0xC4,
                                  0x68, 0x5D, 0x5E, 0x5B},
         reinterpret_cast<const void*>(&SimRenderFrame)},
        // 0x492720 records the ECX and EDX it was entered with.
        {addr::WorldUpdateInner,
         Concat({V{0x89, 0x0D}, Le32(reinterpret_cast<uintptr_t>(&routines.innerEcx)), V{0x89, 0x15},
                 Le32(reinterpret_cast<uintptr_t>(&routines.innerEdx))}),
         reinterpret_cast<const void*>(&SimWorldUpdateInner)},
    };
}

void PlaceRoutines() {
    PlaceJump(addr::FindPlayerPed, reinterpret_cast<const void*>(&SimFindPlayerPed));
    PlaceJump(addr::FindPlayerEntity, reinterpret_cast<const void*>(&SimFindPlayerEntity));
    PlaceJump(addr::PedFrightTest, reinterpret_cast<const void*>(&SimPedFrightTest));
    PlaceJump(addr::PedClearOrder, reinterpret_cast<const void*>(&SimPedClearOrder));
    PlaceJump(addr::PedGiveOrder, reinterpret_cast<const void*>(&SimPedGiveOrder));
    PlaceJump(addr::PedWalkAway, reinterpret_cast<const void*>(&SimPedWalkAway));
    PlaceJump(addr::RasterCreate, reinterpret_cast<const void*>(&SimRasterCreate));
    PlaceJump(addr::RasterLock, reinterpret_cast<const void*>(&SimRasterLock));
    PlaceJump(addr::RasterUnlock, reinterpret_cast<const void*>(&SimRasterUnlock));
    PlaceJump(addr::RasterDestroy, reinterpret_cast<const void*>(&SimRasterDestroy));
    PlaceJump(addr::RenderStateGet, reinterpret_cast<const void*>(&SimRenderStateGet));
    PlaceJump(addr::RenderStateSet, reinterpret_cast<const void*>(&SimRenderStateSet));
    PlaceJump(addr::ScreenDepth2D, reinterpret_cast<const void*>(&SimScreenDepth2D));
    PlaceJump(addr::DrawPrimitive2D, reinterpret_cast<const void*>(&SimDrawPrimitive2D));
}

bool WindowUsable() {
    MEMORY_BASIC_INFORMATION info = {};
    if (!VirtualQuery(reinterpret_cast<void*>(0x420000), &info, sizeof info)) return false;
    return info.State == MEM_COMMIT &&
           (info.Protect & (PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY | PAGE_READWRITE | PAGE_WRITECOPY));
}

}  // namespace

void PlaceJump(uint32_t address, const void* target) {
    WriteJump(reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address)), target);
}

void InstallHost() {
    if (!WindowUsable()) {
        fprintf(stderr, "simulated host: the window 0x420000..0x982000 is not ours; run under quellhost.exe\n");
        ExitProcess(3);
    }
    LockHostCode(-1);
    BuildSiteCodes();
    for (const SiteCode& code : siteCodes) WriteSite(code);
    PlaceRoutines();
    SetHostBuild(HostBuild::V10);
    routines = RoutineLog{};
    onWorldUpdate = nullptr;
    ResetWorld();
}

bool SitesPristine() {
    for (const SiteCode& code : siteCodes) {
        const uint8_t* at = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(code.address));
        if (memcmp(at, code.bytes.data(), code.bytes.size()) != 0) return false;
        uint8_t jump[5];
        WriteJump(jump, code.tail);
        // The jump is position-relative: compare it as it would be written in place.
        const uint32_t displacement = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(code.tail) -
                                                            (code.address + code.bytes.size() + 5));
        if (at[code.bytes.size()] != 0xE9 || memcmp(at + code.bytes.size() + 1, &displacement, 4) != 0) return false;
    }
    return true;
}

std::vector<uint8_t> ReadBytes(uint32_t address, uint32_t count) {
    const uint8_t* at = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
    return std::vector<uint8_t>(at, at + count);
}

namespace {
uint8_t* HeaderField(uint32_t peOffset) {
    uint8_t* base = reinterpret_cast<uint8_t*>(0x400000);
    const uint32_t lfanew = *reinterpret_cast<uint32_t*>(base + 0x3C);
    DWORD old = 0;
    VirtualProtect(base, 0x1000, PAGE_READWRITE, &old);
    return base + lfanew + peOffset;
}
}  // namespace

void SetHeaderTimeDateStamp(uint32_t value) { memcpy(HeaderField(8), &value, 4); }
void SetHeaderSizeOfImage(uint32_t value) { memcpy(HeaderField(0x50), &value, 4); }

HeaderFields HeaderFieldsOf(HostBuild build) {
    switch (build) {
        case HostBuild::V10: return {0x3CCECE14, 0x582000};
        case HostBuild::V11: return {0x3D0A7E52, 0x587000};
        case HostBuild::Steam: return {0x4A3C61B0, 0x5AB000};
        case HostBuild::Unknown: break;
    }
    return {0x5E1F2A33, 0x00024000};
}

void SetHostBuild(HostBuild build) {
    const uint32_t entryPoints[] = {addr::EntryPoint10, addr::EntryPoint11, addr::EntryPointSteam};
    for (uint32_t entry : entryPoints) {
        DWORD old = 0;
        VirtualProtect(reinterpret_cast<void*>(entry), 4, PAGE_EXECUTE_READWRITE, &old);
        Mem<uint32_t>(entry) = 0;
    }
    if (build == HostBuild::V10) Mem<uint32_t>(addr::EntryPoint10) = addr::EntryPointWord;
    if (build == HostBuild::V11) Mem<uint32_t>(addr::EntryPoint11) = addr::EntryPointWord;
    if (build == HostBuild::Steam) Mem<uint32_t>(addr::EntryPointSteam) = addr::EntryPointWord;
    // An unknown program has nothing readable at the game's entry points: no
    // access at two of them, a guard page (which faults once when touched) at 1.1's.
    for (uint32_t entry : entryPoints) {
        DWORD old = 0;
        const DWORD locked = entry == addr::EntryPoint11 ? PAGE_READWRITE | PAGE_GUARD : PAGE_NOACCESS;
        if (build == HostBuild::Unknown) VirtualProtect(reinterpret_cast<void*>(entry), 4, locked, &old);
    }
    const HeaderFields fields = HeaderFieldsOf(build);
    SetHeaderTimeDateStamp(fields.timeDateStamp);
    SetHeaderSizeOfImage(fields.sizeOfImage);
}

namespace {
const void* otherModPointer;  // what an indirect jump reads its target from

HMODULE OtherModule() {
    static HMODULE module;
    if (!module) {
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder(path, length);
        folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
        const std::string file = kOtherModFile;
        module = LoadLibraryW((folder + std::wstring(file.begin(), file.end())).c_str());
    }
    return module;
}

const void* OtherModExport(const char* name) {
    const HMODULE module = OtherModule();
    return module ? reinterpret_cast<const void*>(GetProcAddress(module, name)) : nullptr;
}

const void* OtherModRoutine() { return OtherModExport("TakenOverRoutine"); }

// The chaining mod's detour: inc dword [counter], then the copied jump.
struct Detour {
    uint8_t code[16];
    volatile long runs;
};
Detour* detour;
}  // namespace

long OtherModRuns() {
    const void* runs = OtherModExport("takenOverRuns");
    return runs ? *static_cast<const volatile long*>(runs) : -1;
}

bool ChainThroughSite(uint32_t site) {
    uint8_t* at = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(site));
    if (at[0] != 0xE9) return false;
    if (!detour)
        detour = static_cast<Detour*>(VirtualAlloc(nullptr, sizeof(Detour), MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    int32_t displacement;
    memcpy(&displacement, at + 1, 4);
    detour->runs = 0;
    detour->code[0] = 0xFF;
    detour->code[1] = 0x05;
    const uint32_t counter = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&detour->runs));
    memcpy(detour->code + 2, &counter, 4);
    WriteJump(detour->code + 6, at + 5 + displacement);
    WriteJump(at, detour->code);
    FlushInstructionCache(GetCurrentProcess(), nullptr, 0);
    return true;
}

long ChainedRuns() { return detour ? detour->runs : 0; }

bool PlaceOtherModPatch(uint32_t site, OtherModPatch form) {
    const void* routine = OtherModRoutine();
    if (!routine) return false;
    uint8_t* at = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(site));
    switch (form) {
        case OtherModPatch::Jump: WriteJump(at, routine); break;
        case OtherModPatch::PadCall:
            WriteJump(at, routine);
            at[0] = 0xE8;
            break;
        case OtherModPatch::Call:
            WriteJump(at, routine);
            at[0] = 0xE8;
            at[5] = 0xC3;
            break;
        case OtherModPatch::ShortJump:
            WriteJump(at - 5, routine);
            at[0] = 0xEB;
            at[1] = 0xF9;  // -7: back to the jump before the site
            break;
        case OtherModPatch::IndirectJump: {
            otherModPointer = routine;
            const uint32_t pointer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&otherModPointer));
            at[0] = 0xFF;
            at[1] = 0x25;
            memcpy(at + 2, &pointer, 4);
            break;
        }
    }
    FlushInstructionCache(GetCurrentProcess(), at - 5, 16);
    return true;
}

void Trace(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    trace.emplace_back(line);
}

void RunFrame() {
    const CallResult update = CallHost(addr::SiteWorldUpdate, {}, false);
    const CallResult draw = CallHost(addr::SiteRenderFrame, {}, false);
    if (!update.registersKept || !update.stackBalanced || !draw.registersKept || !draw.stackBalanced) {
        Trace("host: register or stack discipline broken in a frame");
    }
}

void (*onWorldUpdate)();

void __cdecl SimWorldUpdate() {
    ++routines.runs[0];
    if (onWorldUpdate) onWorldUpdate();
}
void __cdecl SimWorldUpdateInner() { ++routines.innerRuns; }

// ------------------------------------------------------------ CallHost
struct CallBlock {
    uint32_t address, ecx, edx, argCount;
    uint32_t args[8];
    uint32_t eax, ebx, esi, edi, ebp, esp, savedEsp;
};
static_assert(offsetof(CallBlock, args) == 16 && offsetof(CallBlock, eax) == 48 &&
                  offsetof(CallBlock, savedEsp) == 72,
              "offsets used by SimCallRaw");

}  // namespace sim

extern "C" sim::CallBlock simCallBlock;
sim::CallBlock simCallBlock;
extern "C" void SimCallRaw();

asm(R"(
    .intel_syntax noprefix
    .text
    .globl _SimCallRaw
_SimCallRaw:
    push ebp
    push ebx
    push esi
    push edi
    mov [_simCallBlock + 72], esp
    mov ecx, [_simCallBlock + 12]
1:  test ecx, ecx
    jz 2f
    push dword ptr [_simCallBlock + 12 + ecx * 4]
    dec ecx
    jmp 1b
2:  mov ebx, 0xB0B0B0B0
    mov esi, 0x51515151
    mov edi, 0xD1D1D1D1
    mov ebp, 0xBEBEBEBE
    mov ecx, [_simCallBlock + 4]
    mov edx, [_simCallBlock + 8]
    call dword ptr [_simCallBlock]
    mov [_simCallBlock + 48], eax
    mov [_simCallBlock + 52], ebx
    mov [_simCallBlock + 56], esi
    mov [_simCallBlock + 60], edi
    mov [_simCallBlock + 64], ebp
    mov [_simCallBlock + 68], esp
    mov esp, [_simCallBlock + 72]
    pop edi
    pop esi
    pop ebx
    pop ebp
    ret
    .att_syntax prefix
)");

namespace sim {

CallResult CallHost(uint32_t address, std::initializer_list<uint32_t> args, bool calleePops, uint32_t ecx,
                    uint32_t edx) {
    simCallBlock = CallBlock{};
    simCallBlock.address = address;
    simCallBlock.ecx = ecx;
    simCallBlock.edx = edx;
    for (uint32_t arg : args) simCallBlock.args[simCallBlock.argCount++] = arg;
    SimCallRaw();
    const CallBlock& b = simCallBlock;
    CallResult result;
    result.eax = b.eax;
    result.registersKept = b.ebx == 0xB0B0B0B0 && b.esi == 0x51515151 && b.edi == 0xD1D1D1D1 && b.ebp == 0xBEBEBEBE;
    const uint32_t expectedEsp = calleePops ? b.savedEsp : b.savedEsp - 4 * b.argCount;
    result.stackBalanced = b.esp == expectedEsp;
    return result;
}

}  // namespace sim
