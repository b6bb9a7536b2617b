// quellsim: the simulated host driven by a line-based script. Each area of
// the simulator adds its own verbs through its Run...Command function.
#pragma once

#include <string>
#include <vector>

namespace sim {

// Each returns true when it knew the verb (words[0]).
bool RunPedCommand(const std::vector<std::string>& words);
bool RunSaveCommand(const std::vector<std::string>& words);
bool RunRenderCommand(const std::vector<std::string>& words);

extern std::wstring gameFolderPath;
extern int scriptLine;
extern void (*beforeScriptError)();  // prints what the script did so far

// Helpers for the verbs.
long ParseInt(const std::string& word);             // decimal or 0x hex
float ParseFloat(const std::string& word);
void ScriptError(const std::string& message);       // reports and ends the script with failure

// The folder the plugin is installed in for the run ("game folder"); side
// files live next to the module there.
std::wstring GameFolder();
std::wstring PluginPath();                          // GameFolder()\Quellbrand.asi

}  // namespace sim
