#include "host/text_print.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace {

// msvcrt's _vsnprintf and _vsnwprintf fill at most `count` characters and
// answer -1, with no zero written, when the text is longer.
template <typename Char>
int Terminate(Char* text, size_t size, int written) {
    text[written < 0 ? size - 1 : static_cast<size_t>(written)] = 0;
    return written;
}

}  // namespace

int PrintText(char* text, size_t size, const char* format, ...) {
    if (size == 0) return -1;
    va_list arguments;
    va_start(arguments, format);
    const int written = _vsnprintf(text, size - 1, format, arguments);
    va_end(arguments);
    return Terminate(text, size, written);
}

int PrintText(wchar_t* text, size_t size, const wchar_t* format, ...) {
    if (size == 0) return -1;
    va_list arguments;
    va_start(arguments, format);
    const int written = _vsnwprintf(text, size - 1, format, arguments);
    va_end(arguments);
    return Terminate(text, size, written);
}
