#include "host/module_entry.h"

#include <cstdint>
#include <cwchar>

#include "fear/fear_state.h"
#include "host/hook_engine.h"
#include "host/host_interface.h"
#include "host/log.h"
#include "host/refusal_lines.h"
#include "host/text_print.h"
#include "overlay/notice_queue.h"
#include "overlay/notice_render.h"
#include "settings/settings.h"

wchar_t settingsPath[kPathChars];
wchar_t progressPath[kPathChars];
wchar_t logPath[kPathChars];

namespace {

constexpr DWORD kLongestModulePath = 239;  // keeps "<path less extension>-saves.ini" within 260

constexpr char kReadyLine[] = "Quellbrand 0.4.4 READY: GTA III 1.0 x86, eight hooks.";
constexpr char kDisabledLine[] = "Quellbrand DISABLED: unsupported executable or hook conflict.";

// The module's path less its extension, or false when it cannot have one.
bool ModuleStem(HMODULE module, wchar_t (&path)[kPathChars]) {
    const DWORD length = GetModuleFileNameW(module, path, kPathChars);
    if (length == 0 || length > kLongestModulePath) return false;
    // The last dot of the whole path, even when it lies in a folder name.
    wchar_t* dot = wcsrchr(path, L'.');
    if (!dot) return false;
    *dot = L'\0';
    return true;
}

void BuildSidePaths(const wchar_t* stem) {
    PrintText(settingsPath, kPathChars, L"%ls.ini", stem);
    PrintText(progressPath, kPathChars, L"%ls-saves.ini", stem);
    PrintText(logPath, kPathChars, L"%ls.log", stem);
}

template <typename T>
T ImageField(uintptr_t offset) {
    return host::At<T>(host::kImageBase + offset);
}

bool StartHooks() { return VerifySites() && InstallHooks(); }

}  // namespace

bool IsSupportedHost() {
    using namespace host;
    if (reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)) != kImageBase) return false;
    if (ImageField<uint16_t>(0) != kDosSignature) return false;
    const uint32_t pe = ImageField<uint32_t>(kDosLfanewOffset);
    if (ImageField<uint32_t>(pe) != kPeSignature) return false;
    if (ImageField<uint16_t>(pe + kPeMachineOffset) != kMachineI386) return false;
    if (ImageField<uint32_t>(pe + kPeTimeDateStampOffset) != kTimeDateStamp) return false;
    return ImageField<uint32_t>(pe + kPeSizeOfImageOffset) == kSizeOfImage;
}

void AttachModule(HMODULE module) {
    DisableThreadLibraryCalls(module);
    wchar_t stem[kPathChars] = {};
    if (!ModuleStem(module, stem)) return;
    BuildSidePaths(stem);
    LoadSettingsAndNoteFile();
    NoteWindowsLanguage();
    fearState.lastReloadTime = GetTickCount();
    if (!IsSupportedHost()) {
        LogRefusedHost();
    } else if (StartHooks()) {
        fearState.active = true;
        LogLine(kReadyLine);
        return;
    }
    LogLine(kDisabledLine);
}

// At process exit (reserved != nullptr) the game is ending: nothing is undone.
// A notice's raster is the host's: it would outlive the module otherwise.
void DetachModule(LPVOID reserved) {
    if (reserved != nullptr || !fearState.active) return;
    fearState.active = false;
    RemoveHooks();
    ReleaseNoticeTextures();
}
