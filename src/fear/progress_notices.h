// Progress notices: at most one per world tick, at least 6500 ms of game time
// apart, telling the player about a gang's stages and every further 25 kills.
#pragma once

#include <cstdint>

constexpr uint32_t kNoticeCooldownMs = 6500;

// Called by the world tick while the player is in play.
void RunNoticeStep(uint32_t now);
