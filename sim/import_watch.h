// Counting the Win32 and C runtime calls a loaded module makes: every import
// pointer of the module is pointed at a small stub that counts the call and
// jumps on to the real function, so the module runs exactly as before. The
// module's GetTickCount is answered by a wall clock the caller moves.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

enum class CallKind { File, Ini, Gdi, Allocation, Other };
constexpr int kCallKinds = 5;
const char* CallKindName(CallKind kind);
// The kind of an imported function: file and stream I/O, INI (private
// profile) calls, GDI (every gdi32 import and USER32's text drawing), heap and
// virtual memory allocation, or anything else.
CallKind KindOfImport(const std::string& dll, const std::string& name);

struct ImportCalls {
    uint32_t byKind[kCallKinds] = {};
    std::vector<std::pair<std::string, uint32_t>> byName;  // functions called at least once, in import order
    uint32_t Of(CallKind kind) const { return byKind[static_cast<int>(kind)]; }
    uint32_t Of(const std::string& name) const {
        for (const auto& call : byName)
            if (call.first == name) return call.second;
        return 0;
    }
};

// Routes every import pointer of `module` through a counter; false when it
// has no import table or the stubs cannot be made. The module's wall clock
// (its GetTickCount) stands still from here on, at the real clock's reading.
bool WatchImports(HMODULE module);
// The calls since WatchImports or the last take; the counters restart at zero.
ImportCalls TakeImportCalls();
// Moves the watched module's wall clock forward (the settings reload follows it).
void AdvanceModuleTickCount(uint32_t ms);

}  // namespace sim
