// The language Windows is set up for, as a program asks for it. On Windows
// the user's UI language (GetUserDefaultUILanguage) and the user locale
// (GetUserDefaultLCID; GetUserDefaultLangID is its language) are separate
// settings: an English Windows with Russian regional formats is common, and
// so is the reverse. Wine derives both from the Unix locale, so the three
// entries are redirected here and answer what the script set.
#include <windows.h>

#include "sim.h"

namespace sim {

namespace {

LANGID uiLanguage;
LCID userLocale;
EntryRedirect redirects[3];

LANGID WINAPI UserUiLanguage() { return uiLanguage; }
LCID WINAPI UserLocale() { return userLocale; }
LANGID WINAPI UserLocaleLanguage() { return LANGIDFROMLCID(userLocale); }

}  // namespace

void SetWindowsLanguage(uint16_t language, uint16_t locale) {
    uiLanguage = language;
    userLocale = MAKELCID(locale, SORT_DEFAULT);
    RedirectEntry(redirects[0], "GetUserDefaultUILanguage", reinterpret_cast<const void*>(&UserUiLanguage));
    RedirectEntry(redirects[1], "GetUserDefaultLCID", reinterpret_cast<const void*>(&UserLocale));
    RedirectEntry(redirects[2], "GetUserDefaultLangID", reinterpret_cast<const void*>(&UserLocaleLanguage));
}

}  // namespace sim
