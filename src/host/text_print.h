// Bounded formatted prints through msvcrt's own formatting: the text is cut to
// fit its buffer and always ends in a zero. The result is the number of
// characters written, or -1 when the text was cut.
#pragma once

#include <cstddef>

int PrintText(char* text, size_t size, const char* format, ...) __attribute__((format(ms_printf, 3, 4)));
int PrintText(wchar_t* text, size_t size, const wchar_t* format, ...);
