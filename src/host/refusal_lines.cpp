#include "host/refusal_lines.h"

#include <windows.h>

#include <cstring>
#include <optional>

#include "host/host_interface.h"
#include "host/log.h"
#include "host/module_entry.h"
#include "host/text_print.h"

namespace {

constexpr int kLineChars = 160;

constexpr DWORD kReadableProtection = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                      PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// A refused host may be any program: its memory is read only where it is
// committed and readable, so that looking cannot fault.
bool Readable(uintptr_t address, uint32_t bytes) {
    const uintptr_t end = address + bytes;
    if (end < address) return false;
    while (address < end) {
        MEMORY_BASIC_INFORMATION info = {};
        if (!VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info)) return false;
        if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
            !(info.Protect & kReadableProtection))
            return false;
        address = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (address == 0) break;  // the region reached the top of the address space
    }
    return true;
}

template <typename T>
bool ReadAt(uintptr_t address, T* value) {
    if (!Readable(address, sizeof(T))) return false;
    memcpy(value, reinterpret_cast<const void*>(address), sizeof(T));
    return true;
}

// ---------------------------------------------------------------- HOST
enum class Build { Unknown, V10, V11, Steam };

bool EntryWordAt(uintptr_t address) {
    uint32_t word{};
    return ReadAt(address, &word) && word == host::kEntryPointWord;
}

// Only a program based where the game is can be one of its builds, and only
// a word found at exactly one of the entry points tells which.
Build BuildOfEntryPoints() {
    if (reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)) != host::kImageBase) return Build::Unknown;
    const bool v10 = EntryWordAt(host::kEntryPoint10);
    const bool v11 = EntryWordAt(host::kEntryPoint11);
    const bool steam = EntryWordAt(host::kEntryPointSteam);
    if (v10 + v11 + steam != 1) return Build::Unknown;
    return v10 ? Build::V10 : v11 ? Build::V11 : Build::Steam;
}

// The running executable's TimeDateStamp and SizeOfImage, as "(...)".
void HeaderFieldsText(char (&text)[64]) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    uint32_t lfanew{}, timeDateStamp{}, sizeOfImage{};
    const bool read = ReadAt(base + host::kDosLfanewOffset, &lfanew) &&
                      ReadAt(base + lfanew + host::kPeTimeDateStampOffset, &timeDateStamp) &&
                      ReadAt(base + lfanew + host::kPeSizeOfImageOffset, &sizeOfImage);
    if (read)
        PrintText(text, sizeof text, "(TimeDateStamp %08lX, SizeOfImage %08lX)", static_cast<unsigned long>(timeDateStamp),
                  static_cast<unsigned long>(sizeOfImage));
    else
        PrintText(text, sizeof text, "(header unreadable)");
}

// ---------------------------------------------------------------- CONFLICT
constexpr uint8_t kJmpRel32 = 0xE9, kCallRel32 = 0xE8, kJmpRel8 = 0xEB, kGroupFF = 0xFF, kModRmJmpAbs = 0x25;

struct Branch {
    uintptr_t target;
    bool isJump;  // false for a call
};

// Where the instruction at `address` leads: jmp rel32, call rel32, jmp rel8
// or jmp [abs32]. None for any other instruction, or one not wholly readable.
std::optional<Branch> BranchAt(uintptr_t address) {
    uint8_t code[2]{};
    if (!ReadAt(address, &code[0])) return std::nullopt;
    const bool isJump = code[0] != kCallRel32;
    if (code[0] == kJmpRel32 || code[0] == kCallRel32) {
        int32_t displacement{};
        if (!ReadAt(address + 1, &displacement)) return std::nullopt;
        return Branch{address + 5 + static_cast<uintptr_t>(displacement), isJump};
    }
    if (code[0] == kJmpRel8) {
        int8_t displacement{};
        if (!ReadAt(address + 1, &displacement)) return std::nullopt;
        return Branch{address + 2 + static_cast<uintptr_t>(static_cast<intptr_t>(displacement)), isJump};
    }
    uint32_t pointer{};
    uintptr_t target{};
    if (code[0] != kGroupFF || !ReadAt(address + 1, &code[1]) || code[1] != kModRmJmpAbs) return std::nullopt;
    if (!ReadAt(address + 2, &pointer) || !ReadAt(pointer, &target)) return std::nullopt;
    return Branch{target, isJump};
}

HMODULE ModuleAt(uintptr_t address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(address), &module))
        return nullptr;
    return module;
}

// The module another mod's patch at `site` leads into. A jump that lands in
// the game itself or in memory of no module (a short jump to a longer one,
// as hot-patching writes, or a relay stub) is followed once more.
HMODULE PatchingModule(uintptr_t site) {
    const HMODULE game = GetModuleHandleW(nullptr);
    uintptr_t at = site;
    for (int hop = 0; hop < 2; ++hop) {
        const std::optional<Branch> branch = BranchAt(at);
        if (!branch) return nullptr;
        const HMODULE module = ModuleAt(branch->target);
        if (module && module != game) return module;
        if (!branch->isJump) return nullptr;
        at = branch->target;
    }
    return nullptr;
}

}  // namespace

void LogRefusedHost() {
    char line[kLineChars] = {};
    char fields[64] = {};
    switch (BuildOfEntryPoints()) {
        case Build::V11:
            PrintText(line, sizeof line, "HOST: GTA III 1.1 found; this plugin needs 1.0.");
            break;
        case Build::Steam:
            PrintText(line, sizeof line, "HOST: GTA III Steam build found; this plugin needs 1.0.");
            break;
        case Build::V10:
            HeaderFieldsText(fields);
            PrintText(line, sizeof line, "HOST: modified GTA III 1.0 found %s; this plugin needs the unmodified 1.0.",
                      fields);
            break;
        case Build::Unknown:
            HeaderFieldsText(fields);
            PrintText(line, sizeof line, "HOST: unknown program found %s; this plugin needs GTA III 1.0.", fields);
            break;
    }
    LogLine(line);
}

// The file name of `module`, as the log can hold it; false when it has none.
bool ModuleFileName(HMODULE module, char (&text)[kPathChars]) {
    wchar_t path[kPathChars] = {};
    if (!module || GetModuleFileNameW(module, path, kPathChars - 1) == 0) return false;
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c)
        if (*c == L'\\' || *c == L'/') name = c + 1;
    ToLogText(name, text, sizeof text);
    return true;
}

void LogSiteConflict(uint32_t site) {
    char name[kPathChars] = {};
    if (!ModuleFileName(PatchingModule(site), name)) return;
    char line[kLineChars] = {};
    PrintText(line, sizeof line, "CONFLICT: %08lX is patched by %s", static_cast<unsigned long>(site), name);
    LogLine(line);
}

void LogChainedSite(uint32_t site, uintptr_t target) {
    char name[kPathChars] = {};
    if (!ModuleFileName(ModuleAt(target), name))
        PrintText(name, sizeof name, "code at %08lX", static_cast<unsigned long>(target));
    char line[kLineChars] = {};
    PrintText(line, sizeof line, "CHAINED: %08lX calls into %s", static_cast<unsigned long>(site), name);
    LogLine(line);
}

void LogSiteTakenOver(uint32_t site, const char* loss) {
    char name[kPathChars] = {};
    char by[kPathChars + 4] = {};
    if (ModuleFileName(PatchingModule(site), name)) PrintText(by, sizeof by, " by %s", name);
    char line[kLineChars + kPathChars] = {};
    PrintText(line, sizeof line, "CONFLICT: %08lX was taken over%s after start; %s.", static_cast<unsigned long>(site),
              by, loss);
    LogLine(line);
}
