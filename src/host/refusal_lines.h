// Log lines that tell the player why the plugin stays off: which program or
// build of the game it was loaded into, and which other module already holds
// a hook site.
#pragma once

#include <cstdint>

// After the header tests refused the host: one HOST line from the entry-point
// words of the known builds, or the header fields found.
void LogRefusedHost();

// After the signature mismatch at `site`: a CONFLICT line naming the module
// that a jump or call at the site leads into, when it is another loaded module.
void LogSiteConflict(uint32_t site);
