// The diagnostic log: one plain ASCII line per event, CR LF, appended to
// logPath and closed again at once, so it survives a crash of the game.
#pragma once

void LogLine(const char* text);
void LogCounts(const char* tag);
