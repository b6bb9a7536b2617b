// Log lines that tell the player why the plugin stays off (which program or
// build of the game it was loaded into, which other module already holds a
// hook site) and which other module it chained through or lost a site to.
#pragma once

#include <cstdint>

// After the header tests refused the host: one HOST line from the entry-point
// words of the known builds, or the header fields found.
void LogRefusedHost();

// After the signature mismatch at `site`: a CONFLICT line naming the module
// that a jump or call at the site leads into, when it is another loaded module.
void LogSiteConflict(uint32_t site);

// After site 0 was accepted holding another mod's call to `target`:
// "CHAINED: 0048C850 calls into X", X that module's file name, or the address.
void LogChainedSite(uint32_t site, uintptr_t target);

// The first time `site` is found taken over after start: the module its new
// bytes lead into, where there is one, and what the player loses.
void LogSiteTakenOver(uint32_t site, const char* loss);
