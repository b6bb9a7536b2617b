#include "host/log.h"

#include <windows.h>

#include <cstring>

#include "fear/fear_state.h"
#include "host/module_entry.h"
#include "host/text_print.h"

void LogLine(const char* text) {
    HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written{};
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

void LogCounts(const char* tag) {
    char line[160] = {};
    const GangRecord* g = fearState.gangs;
    PrintText(line, sizeof line, "%s Triads=%u Leone=%u Cartel=%u Yardies=%u", tag, g[0].kills, g[1].kills,
              g[2].kills, g[3].kills);
    LogLine(line);
}

void ToLogText(const wchar_t* text, char* out, size_t size) {
    if (size == 0) return;
    size_t i = 0;
    for (; i + 1 < size && text[i]; ++i) out[i] = text[i] >= 0x20 && text[i] < 0x7F ? static_cast<char>(text[i]) : '?';
    out[i] = '\0';
}
