// The texts a loaded module renders, seen through its import of
// USER32!DrawTextW and put into the trace as the player would read them:
//   text "Leone family weakened. 2 killed."
// with a line break written as \n.
#include <windows.h>

#include "sim.h"

namespace sim {

namespace {

using DrawTextWFn = int(WINAPI*)(HDC, LPCWSTR, int, LPRECT, UINT);
DrawTextWFn realDrawTextW;

std::string Utf8(const wchar_t* text, int length) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], bytes, nullptr, nullptr);
    if (!result.empty() && result.back() == '\0') result.pop_back();
    for (size_t at = 0; (at = result.find('\n', at)) != std::string::npos; at += 2) result.replace(at, 1, "\\n");
    return result;
}

// Measuring calls (DT_CALCRECT) draw nothing and are not traced.
int WINAPI TracedDrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format) {
    if (!(format & DT_CALCRECT) && text) Trace("text \"%s\"", Utf8(text, length).c_str());
    return realDrawTextW(dc, text, length, rect, format);
}

}  // namespace

// Points the module's import of DrawTextW at TracedDrawTextW; the real call
// still does the drawing.
void TraceRenderedTexts(void* module) {
    auto* base = static_cast<uint8_t*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const void* target = reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "DrawTextW"));
    if (!dir.VirtualAddress || !target) return;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        for (auto* slot = reinterpret_cast<void**>(base + d->FirstThunk); *slot; ++slot) {
            if (*slot != target) continue;
            DWORD old;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
            realDrawTextW = reinterpret_cast<DrawTextWFn>(*slot);
            *slot = reinterpret_cast<void*>(&TracedDrawTextW);
            VirtualProtect(slot, sizeof *slot, old, &old);
        }
    }
}

}  // namespace sim
