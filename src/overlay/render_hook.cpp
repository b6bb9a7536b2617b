#include "host/handler_entries.h"
#include "host/hook_engine.h"

void __cdecl RenderHook() { Trampoline<host::RenderFrameFn>(kHookRenderFrame)(); }
