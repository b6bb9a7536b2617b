#include "overlay/notice_queue.h"

namespace NoticeOverlay {
void Draw(unsigned int, int, int, int) {}
}  // namespace NoticeOverlay
