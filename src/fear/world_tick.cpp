#include "fear/world_tick.h"

#include "host/handler_entries.h"

extern "C" void FearTick() {}
