#include "import_watch.h"

#include <cstring>

namespace sim {

namespace {

constexpr int kMaxImports = 512;
constexpr uint32_t kStubBytes = 12;

struct WatchedImport {
    std::string name;
    CallKind kind;
};

// Stub i: inc dword ptr [counts + 4i]; jmp dword ptr [targets + 4i].
uint8_t* stubs;
uint32_t counts[kMaxImports];
const void* targets[kMaxImports];
std::vector<WatchedImport> watched;
uint32_t moduleTickCount;

DWORD WINAPI ModuleTickCount() { return moduleTickCount; }

bool NameIn(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* candidate : names)
        if (name == candidate) return true;
    return false;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

void WriteStub(int index, const void* target) {
    uint8_t* code = stubs + index * kStubBytes;
    const uint32_t count = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&counts[index]));
    const uint32_t jump = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&targets[index]));
    code[0] = 0xFF;
    code[1] = 0x05;
    memcpy(code + 2, &count, 4);
    code[6] = 0xFF;
    code[7] = 0x25;
    memcpy(code + 8, &jump, 4);
    targets[index] = target;
    counts[index] = 0;
}

void PointSlot(void** slot, const void* stub) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = const_cast<void*>(stub);
    VirtualProtect(slot, sizeof *slot, old, &old);
}

std::string ImportName(const uint8_t* base, const IMAGE_THUNK_DATA32& entry) {
    if (IMAGE_SNAP_BY_ORDINAL32(entry.u1.Ordinal)) return "#" + std::to_string(IMAGE_ORDINAL32(entry.u1.Ordinal));
    const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + entry.u1.AddressOfData);
    return reinterpret_cast<const char*>(byName->Name);
}

}  // namespace

const char* CallKindName(CallKind kind) {
    static const char* const names[kCallKinds] = {"file", "INI", "GDI", "alloc", "other"};
    return names[static_cast<int>(kind)];
}

CallKind KindOfImport(const std::string& dll, const std::string& name) {
    if (Lower(dll) == "gdi32.dll" || NameIn(name, {"DrawTextW", "DrawTextA", "DrawTextExW", "DrawTextExA"}))
        return CallKind::Gdi;
    if (name.find("PrivateProfile") != std::string::npos || name.find("ProfileString") != std::string::npos ||
        name.find("ProfileInt") != std::string::npos)
        return CallKind::Ini;
    if (NameIn(name, {"CreateFileW", "CreateFileA", "ReadFile", "WriteFile", "CloseHandle", "GetFileSize",
                      "GetFileSizeEx", "GetFileTime", "GetFileInformationByHandle", "GetFileAttributesW",
                      "GetFileAttributesA", "SetFilePointer", "SetFilePointerEx", "FlushFileBuffers", "DeleteFileW",
                      "DeleteFileA", "MoveFileExW", "ReplaceFileW", "fopen", "_wfopen", "fclose", "fread", "fwrite",
                      "fputc", "fputwc", "fputs", "fprintf", "fwprintf", "vfprintf", "vfwprintf", "fflush"}))
        return CallKind::File;
    if (NameIn(name, {"VirtualAlloc", "VirtualFree", "HeapAlloc", "HeapReAlloc", "HeapFree", "HeapCreate",
                      "LocalAlloc", "LocalReAlloc", "LocalFree", "GlobalAlloc", "GlobalReAlloc", "GlobalFree",
                      "malloc", "calloc", "realloc", "free", "_aligned_malloc", "_aligned_realloc", "_aligned_free",
                      "_strdup", "_wcsdup", "strdup", "_expand"}))
        return CallKind::Allocation;
    return CallKind::Other;
}

bool WatchImports(HMODULE module) {
    auto* base = reinterpret_cast<uint8_t*>(module);
    if (!base) return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return false;
    if (!stubs) {
        stubs = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, kMaxImports * kStubBytes, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
        if (!stubs) return false;
    }
    watched.clear();
    moduleTickCount = GetTickCount();
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        if (!d->OriginalFirstThunk) return false;  // no names to tell the functions apart
        const std::string dll = reinterpret_cast<const char*>(base + d->Name);
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<void**>(base + d->FirstThunk);
        for (int i = 0; names[i].u1.AddressOfData; ++i) {
            const int index = static_cast<int>(watched.size());
            if (index >= kMaxImports) return false;
            const std::string name = ImportName(base, names[i]);
            const bool clock = name == "GetTickCount";
            WriteStub(index, clock ? reinterpret_cast<const void*>(&ModuleTickCount) : slots[i]);
            watched.push_back({name, KindOfImport(dll, name)});
            PointSlot(&slots[i], stubs + index * kStubBytes);
        }
    }
    FlushInstructionCache(GetCurrentProcess(), stubs, kMaxImports * kStubBytes);
    return true;
}

ImportCalls TakeImportCalls() {
    ImportCalls calls;
    for (size_t i = 0; i < watched.size(); ++i) {
        if (counts[i] == 0) continue;
        calls.byKind[static_cast<int>(watched[i].kind)] += counts[i];
        calls.byName.emplace_back(watched[i].name, counts[i]);
        counts[i] = 0;
    }
    return calls;
}

void AdvanceModuleTickCount(uint32_t ms) { moduleTickCount += ms; }

}  // namespace sim
