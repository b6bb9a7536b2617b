#include "host/handler_entries.h"
#include "host/hook_engine.h"

uint8_t __thiscall SaveProgress(void* saver, uint32_t argument) {
    return Trampoline<host::SaveGameFn>(kHookSaveGame)(saver, argument);
}

uint8_t __cdecl LoadProgress() { return Trampoline<host::LoadGameFn>(kHookLoadGame)(); }
