#include "fear/fear_state.h"
#include "host/handler_entries.h"
#include "overlay/progress_summary.h"

// Every (re)initialisation of the game starts the plugin's counters afresh,
// whether or not the plugin is switched on.
extern "C" void ResetOnNewGame() {
    ResetCounters();
    NoSummaryAfterLoad();
}
