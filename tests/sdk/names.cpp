// Takes the address of each function QuellbrandNotices.h declares, so that the
// object file lists the name the compiler gives it.
#include "QuellbrandNotices.h"

void* declaredFunctions[] = {
    reinterpret_cast<void*>(&NoticeOverlay::Show),
    reinterpret_cast<void*>(&NoticeOverlay::Reset),
    reinterpret_cast<void*>(&NoticeOverlay::Draw),
};
