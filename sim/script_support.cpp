// What quellsim's verbs share, kept in the simulator library so that every
// area's verbs link into the test DLLs too.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "quellsim.h"

namespace sim {

std::wstring gameFolderPath;
int scriptLine;
void (*beforeScriptError)();

long ParseInt(const std::string& word) { return strtol(word.c_str(), nullptr, 0); }
float ParseFloat(const std::string& word) { return strtof(word.c_str(), nullptr); }

void ScriptError(const std::string& message) {
    if (beforeScriptError) beforeScriptError();
    printf("error: line %d: %s\n", scriptLine, message.c_str());
    fflush(stdout);
    ExitProcess(1);
}

std::wstring GameFolder() { return gameFolderPath; }
std::wstring PluginPath() { return gameFolderPath + L"\\Quellbrand.asi"; }

}  // namespace sim
