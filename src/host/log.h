// The diagnostic log: one plain ASCII line per event, CR LF, appended to
// logPath and closed again at once, so it survives a crash of the game.
#pragma once

#include <cstddef>

void LogLine(const char* text);
void LogCounts(const char* tag);
// A UTF-16 text (a settings value, a file name) as the log can hold it:
// printable ASCII kept, every other character '?', cut to fit `size` with
// its terminating zero.
void ToLogText(const wchar_t* text, char* out, size_t size);
