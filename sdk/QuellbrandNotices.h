// QuellbrandNotices.h: puts notices on the screen through Quellbrand's overlay
// from another GTA III 1.0 plugin (32-bit x86 .asi, built with MSVC or mingw).
//
// Quellbrand.asi exports three functions under the GCC and the MSVC names.
// Do not link against them: look them up at run time with Resolve() below, so
// that your plugin loads, and does nothing, when Quellbrand.asi is absent, and
// still finds them when the ASI loader loads Quellbrand after your plugin.
//
//     QuellbrandNotices::Api notices;
//     if (QuellbrandNotices::Resolve(notices))
//         notices.Show(1, 50, NoticeOverlay::MembersKilled, now);   // "Leone family members killed: 50"
//
// Threads: call all three functions only on the game's main thread (from the
// game's own calls into your code, or from a message the game's thread
// dispatches). The overlay takes no locks; calls from another thread race
// with Quellbrand's drawing and are not supported.
//
// What the player sees: two notice slots, a large banner at 41 % of the screen
// height and a line at 83 %, in the language Quellbrand shows its own notices
// in (English, Russian, French, German, Italian or Spanish: its Language
// setting, which by default follows the game). A new notice replaces the
// one in its slot at once; there is no waiting list. The line slot is shared
// with Quellbrand's own milestone notices and the summary of the war the
// player calls up with a key (or sees after loading a save), so either may
// replace the other.
// Quellbrand empties both slots when a game is started or loaded, and on every
// frame while its settings switch notices off (Enabled=0 or
// EnableNotifications=0). While the game keeps the overlay hidden, a
// notice's time still runs. When Quellbrand refused the game (its log says
// DISABLED), the functions exist but nothing is drawn.
#pragma once

#include <windows.h>

#if !defined(_M_IX86) && !defined(__i386__)
#error "Quellbrand.asi is 32-bit x86 code: build your plugin for 32-bit x86"
#endif

namespace NoticeOverlay {

// What a notice says. "name" is the gang's name, "N" the count passed to Show.
enum Kind : unsigned int {
    MembersKilled = 0,          // line: "<name> members killed: N"
    Weakened = 1,               // line: "<name> weakened. N killed."
    LosingGround = 2,           // line: "<name> losing ground. N killed."
    SurvivorsKeepDistance = 3,  // line: "N killed. The survivors keep their distance."
    BroughtToKnees = 4,         // banner "Leone brought to their knees!" (per gang), and kind 3 as the line
};

// Shows a notice.
//   gang:  0 Triads, 1 Leone family, 2 Colombian Cartel, 3 Uptown Yardies.
//          Above 3 the call is ignored: nothing changes on the screen.
//   count: the number the text shows, in plain decimal (any 32-bit value).
//   kind:  0..3 put the line on the screen for 5 s. 4 puts up the gang's
//          banner for 5 s and the line of kind 3 for 10 s. Any other value
//          takes the line slot for 5 s with an empty text: nothing is drawn,
//          and the line notice it replaced is gone.
//   now:   the game clock, the unsigned 32-bit millisecond counter at
//          0x885B48 (GameClockAddress), read when you call. The display time
//          runs on that clock from `now`: a value behind the clock shortens
//          it, a value ahead of the clock retires the notice unseen on the
//          next frame. The counter wrapping round is handled.
void __cdecl Show(unsigned int gang, unsigned int count, Kind kind, unsigned int now);

// Empties both slots, Quellbrand's own notices included. The textures are
// released on the next frame.
void __cdecl Reset();

// Draws the notices and retires those whose time is up. Quellbrand calls it
// itself on every frame, after the game has drawn the frame, while it runs;
// a plugin normally never calls it (a second call draws the notices a second
// time). If you do, call it only inside the game's frame drawing, where the
// game's 2D drawing routines may be used, and only on GTA III 1.0. It draws
// nothing when Quellbrand refused the game (its log says DISABLED), and
// nothing while Quellbrand's settings switch notices off (Enabled=0 or
// EnableNotifications=0): it then empties both slots, as Quellbrand's own
// frame does.
//   now:          the game clock (0x885B48), as for Show.
//   language:     0 English, any other value Russian, whatever Quellbrand's
//                 Language setting says.
//   screenWidth,
//   screenHeight: the size in pixels the game draws at (the words at
//                 0x8F4364 and 0x8F4368, which windowed-mode and resolution
//                 mods change). Below 160 x 120 nothing is drawn and no
//                 notice is retired.
void __cdecl Draw(unsigned int now, int language, int screenWidth, int screenHeight);

}  // namespace NoticeOverlay

namespace QuellbrandNotices {

// The address of the game clock that Show and Draw take as `now` (GTA III 1.0).
const unsigned int GameClockAddress = 0x885B48;

// The three functions as found in the loaded Quellbrand.asi; all null until
// Resolve succeeds.
struct Api {
    decltype(&NoticeOverlay::Show) Show;
    decltype(&NoticeOverlay::Reset) Reset;
    decltype(&NoticeOverlay::Draw) Draw;
};

// Looks the three functions up in the loaded module `module`, under this
// compiler's own names. Returns true and fills `api` when all three are there;
// otherwise returns false and leaves `api` all null. It loads nothing and is
// cheap (one module lookup and three name lookups), so call it again until it
// succeeds: not from DllMain, where the loader may not have loaded Quellbrand
// yet, but when your plugin first has something to show. Once found, the
// functions stay valid as long as Quellbrand stays loaded, which is until the
// game exits. Pass another file name if the player renamed Quellbrand.asi.
inline bool Resolve(Api& api, const wchar_t* module = L"Quellbrand.asi") {
#ifdef _MSC_VER
    const char* const names[3] = {"?Show@NoticeOverlay@@YAXIIW4Kind@1@I@Z", "?Reset@NoticeOverlay@@YAXXZ",
                                  "?Draw@NoticeOverlay@@YAXIHHH@Z"};
#else
    const char* const names[3] = {"_ZN13NoticeOverlay4ShowEjjNS_4KindEj", "_ZN13NoticeOverlay5ResetEv",
                                  "_ZN13NoticeOverlay4DrawEjiii"};
#endif
    typedef void(__cdecl * AnyFunction)();
    api.Show = 0;
    api.Reset = 0;
    api.Draw = 0;
    const HMODULE quellbrand = GetModuleHandleW(module);
    if (!quellbrand) return false;
    AnyFunction found[3];
    for (int i = 0; i < 3; ++i) {
        found[i] = reinterpret_cast<AnyFunction>(GetProcAddress(quellbrand, names[i]));
        if (!found[i]) return false;
    }
    api.Show = reinterpret_cast<decltype(api.Show)>(found[0]);
    api.Reset = reinterpret_cast<decltype(api.Reset)>(found[1]);
    api.Draw = reinterpret_cast<decltype(api.Draw)>(found[2]);
    return true;
}

}  // namespace QuellbrandNotices
