// quellsim: loads the real Quellbrand.asi into the simulated host the way an
// ASI loader does and plays a script against it, printing a stable trace of
// everything the plugin did and every line it logged.
#include "quellsim.h"

#include <windows.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sim.h"
#include "world.h"

namespace sim {

namespace {

std::wstring& gameFolder = gameFolderPath;
std::wstring sourceAsi;
HMODULE plugin;
size_t traceShown;
size_t logLinesShown;

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring SettingsPath() { return gameFolder + L"\\Quellbrand.ini"; }
std::wstring LogPath() { return gameFolder + L"\\Quellbrand.log"; }

std::vector<std::string> ReadLogLines() {
    std::vector<std::string> lines;
    FILE* file = _wfopen(LogPath().c_str(), L"rb");
    if (!file) return lines;
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
    fclose(file);
    size_t start = 0;
    for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(content.substr(start, end - start));
    }
    return lines;
}

// Prints what happened since the last call: trace lines, then new log lines.
void Flush() {
    for (; traceShown < trace.size(); ++traceShown) printf("%s\n", trace[traceShown].c_str());
    const std::vector<std::string> lines = ReadLogLines();
    if (lines.size() < logLinesShown) logLinesShown = 0;  // the log was deleted
    for (; logLinesShown < lines.size(); ++logLinesShown) printf("log: %s\n", lines[logLinesShown].c_str());
    fflush(stdout);
}

void PrepareGameFolder() {
    CreateDirectoryW(gameFolder.c_str(), nullptr);
    for (const wchar_t* name : {L"\\Quellbrand.ini", L"\\Quellbrand.log", L"\\Quellbrand-saves.ini"}) {
        DeleteFileW((gameFolder + name).c_str());
    }
    if (!CopyFileW(sourceAsi.c_str(), PluginPath().c_str(), FALSE)) {
        fprintf(stderr, "quellsim: cannot copy %ls to %ls\n", sourceAsi.c_str(), PluginPath().c_str());
        ExitProcess(2);
    }
}

const char* SitesState() {
    const uint32_t sites[8] = {addr::SiteWorldUpdate, addr::SiteKillCredit, addr::SitePedDamage, addr::SiteZoneInfo,
                               addr::SiteGameInit,    addr::SiteSaveGame,   addr::SiteLoadGame,  addr::SiteRenderFrame};
    int patched = 0;
    for (uint32_t site : sites) patched += Mem<uint8_t>(site) == 0xE9;
    if (patched == 8) return "patched";
    return patched == 0 && SitesPristine() ? "original" : "mixed";
}

void Attach() {
    if (plugin) ScriptError("the plugin is attached already");
    plugin = LoadLibraryW(PluginPath().c_str());
    if (!plugin) ScriptError("LoadLibraryW failed");
    TraceRenderedTexts(plugin);
    Trace("attached; sites %s", SitesState());
}

void Detach() {
    if (!plugin) ScriptError("the plugin is not attached");
    FreeLastReference(plugin);
    plugin = nullptr;
    Trace("detached; sites %s", SitesState());
}

void SetIni(const std::vector<std::string>& words) {
    if (words.size() < 2) ScriptError("ini KEY [VALUE]");
    const std::wstring key = Widen(words[1]);
    std::string value;
    for (size_t i = 2; i < words.size(); ++i) value += (i > 2 ? " " : "") + words[i];
    const bool remove = words.size() == 2;
    WritePrivateProfileStringW(L"Morwenstal", key.c_str(), remove ? nullptr : Widen(value).c_str(),
                               SettingsPath().c_str());
}

// Another module of the game switching the shared C runtime's locale.
void SetLocale(const std::string& name) {
    if (!setlocale(LC_ALL, name.c_str())) ScriptError("locale: the C runtime does not know '" + name + "'");
    Trace("locale %s: decimal separator \"%s\"", name.c_str(), localeconv()->decimal_point);
}

void SetBuild(const std::string& name) {
    if (name == "1.0") SetHostBuild(HostBuild::V10);
    else if (name == "1.1") SetHostBuild(HostBuild::V11);
    else if (name == "steam") SetHostBuild(HostBuild::Steam);
    else if (name == "unknown") SetHostBuild(HostBuild::Unknown);
    else ScriptError("header build 1.0|1.1|steam|unknown");
}

// Another mod that took over the routine at a site: other-mod SITE FORM.
void PatchByOtherMod(const std::vector<std::string>& words) {
    if (words.size() != 3) ScriptError("other-mod SITE jmp|call|short-jmp|indirect-jmp|pad-call");
    const std::string& form = words[2];
    OtherModPatch patch;
    if (form == "jmp") patch = OtherModPatch::Jump;
    else if (form == "call") patch = OtherModPatch::Call;
    else if (form == "short-jmp") patch = OtherModPatch::ShortJump;
    else if (form == "indirect-jmp") patch = OtherModPatch::IndirectJump;
    else if (form == "pad-call") patch = OtherModPatch::PadCall;
    else ScriptError("other-mod: unknown form '" + form + "'");
    const uint32_t site = static_cast<uint32_t>(ParseInt(words[1]));
    if (site < 0x420005 || site > 0x981FF0) ScriptError("other-mod: the site lies outside the game's window");
    if (!PlaceOtherModPatch(site, patch)) ScriptError(std::string("other-mod: cannot load ") + kOtherModFile);
    Trace("other-mod %s: %08X %s to its routine", kOtherModFile, site, form.c_str());
}

void RunFrames(const std::vector<std::string>& words) {
    const long count = words.size() > 1 ? ParseInt(words[1]) : 1;
    const long step = words.size() > 2 ? ParseInt(words[2]) : 50;
    for (long i = 0; i < count; ++i) {
        AdvanceClock(static_cast<uint32_t>(step));
        RunFrame();
    }
}

// F1..F12, A..Z, 0..9, NumPad0..NumPad9 or a virtual-key code.
uint8_t KeyOfName(const std::string& name) {
    if (name.size() == 1 && (isupper(name[0]) || isdigit(name[0]))) return static_cast<uint8_t>(name[0]);
    if (name.size() >= 2 && name[0] == 'F' && isdigit(name[1])) {
        const long n = ParseInt(name.substr(1));
        if (n >= 1 && n <= 12) return static_cast<uint8_t>(0x70 + n - 1);
    }
    if (name.size() == 7 && name.compare(0, 6, "NumPad") == 0 && isdigit(name[6]))
        return static_cast<uint8_t>(0x60 + name[6] - '0');
    const long code = ParseInt(name);
    if (code < 1 || code > 254) ScriptError("key: '" + name + "' is not a key");
    return static_cast<uint8_t>(code);
}

void SetKey(const std::vector<std::string>& words) {
    if (words.size() != 3 || (words[2] != "down" && words[2] != "up")) ScriptError("key KEY down|up");
    SetKeyDown(KeyOfName(words[1]), words[2] == "down");
}

void ChooseFocus(const std::string& window) {
    if (window == "game") SetForeground(Foreground::Game);
    else if (window == "other") SetForeground(Foreground::OtherProgram);
    else if (window == "none") SetForeground(Foreground::Nobody);
    else ScriptError("focus game|other|none");
}

bool RunCoreCommand(const std::vector<std::string>& words) {
    const std::string& verb = words[0];
    if (verb == "attach") Attach();
    else if (verb == "detach") Detach();
    else if (verb == "ini") SetIni(words);
    else if (verb == "ini-delete-file") DeleteFileW(SettingsPath().c_str());
    else if (verb == "frames") RunFrames(words);
    else if (verb == "clock" && words.size() == 2 && words[1][0] == '+') AdvanceClock(ParseInt(words[1].substr(1)));
    else if (verb == "clock" && words.size() == 2) SetClock(static_cast<uint32_t>(ParseInt(words[1])));
    else if (verb == "sleep" && words.size() == 2) Sleep(static_cast<DWORD>(ParseInt(words[1])));
    else if (verb == "sites") Trace("sites %s", SitesState());
    else if (verb == "locale" && words.size() == 2) SetLocale(words[1]);
    else if (verb == "header" && words.size() == 3 && words[1] == "timestamp") SetHeaderTimeDateStamp(ParseInt(words[2]));
    else if (verb == "header" && words.size() == 3 && words[1] == "imagesize") SetHeaderSizeOfImage(ParseInt(words[2]));
    else if (verb == "header" && words.size() == 3 && words[1] == "build") SetBuild(words[2]);
    else if (verb == "other-mod") PatchByOtherMod(words);
    else if (verb == "key") SetKey(words);
    else if (verb == "focus" && words.size() == 2) ChooseFocus(words[1]);
    else if (verb == "echo") {
        std::string text;
        for (size_t i = 1; i < words.size(); ++i) text += (i > 1 ? " " : "") + words[i];
        Trace("%s", text.c_str());
    } else return false;
    return true;
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        if (word[0] == '#') break;
        words.push_back(word);
    }
    return words;
}

int RunScript(const std::wstring& path) {
    std::ifstream in(path.c_str());
    if (!in) {
        fprintf(stderr, "quellsim: cannot read %ls\n", path.c_str());
        return 2;
    }
    std::string line;
    while (std::getline(in, line)) {
        ++scriptLine;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> words = SplitWords(line);
        if (words.empty()) continue;
        if (!RunCoreCommand(words) && !RunPedCommand(words) && !RunSaveCommand(words) && !RunRenderCommand(words)) {
            ScriptError("unknown command '" + words[0] + "'");
        }
        Flush();
    }
    if (plugin) Detach();
    Flush();
    return 0;
}

}  // namespace

}  // namespace sim

extern "C" __declspec(dllexport) int HostMain(int argc, wchar_t** argv) {
    std::wstring script;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--asi" && i + 1 < argc) sim::sourceAsi = argv[++i];
        else if (arg == L"--game" && i + 1 < argc) sim::gameFolder = argv[++i];
        else script = arg;
    }
    if (sim::sourceAsi.empty() || sim::gameFolder.empty() || script.empty()) {
        fprintf(stderr, "usage: quellhost quellsim.dll --asi Quellbrand.asi --game FOLDER SCRIPT\n");
        return 2;
    }
    sim::beforeScriptError = sim::Flush;
    sim::InstallHost();
    sim::PrepareGameFolder();
    return sim::RunScript(script);
}
