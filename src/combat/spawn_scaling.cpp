#include "fear/fear_state.h"
#include "host/handler_entries.h"
#include "host/hook_engine.h"

void __cdecl ScaleGangDensity(uint32_t zone, uint8_t* record) {
    Trampoline<host::ZoneInfoFn>(kHookZoneInfo)(zone, record);
    ++fearState.zones;
}
