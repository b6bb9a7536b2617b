// What quellsim's verbs share, kept in the simulator library so that every
// area's verbs link into the test DLLs too.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <locale>
#include <sstream>

#include "quellsim.h"

namespace sim {

std::wstring gameFolderPath;
int scriptLine;
void (*beforeScriptError)();

long ParseInt(const std::string& word) { return strtol(word.c_str(), nullptr, 0); }
// Read in the classic locale, whatever the script's `locale` verb set.
float ParseFloat(const std::string& word) {
    std::istringstream in(word);
    in.imbue(std::locale::classic());
    float value = 0.0f;
    in >> value;
    return value;
}

void ScriptError(const std::string& message) {
    if (beforeScriptError) beforeScriptError();
    printf("error: line %d: %s\n", scriptLine, message.c_str());
    fflush(stdout);
    ExitProcess(1);
}

std::wstring GameFolder() { return gameFolderPath; }
std::wstring PluginPath() { return gameFolderPath + L"\\Quellbrand.asi"; }

}  // namespace sim
