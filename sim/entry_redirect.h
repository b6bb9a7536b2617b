// A process-wide fake of a Win32 function: its first instruction becomes a
// jump to the fake, so every module's calls reach it, imports resolved
// before or after. The fake reaches the real function through CallReal.
#pragma once

#include <cstdint>
#include <cstring>

namespace sim {

struct EntryRedirect {
    uint8_t* entry = nullptr;  // the real function's first instruction
    uint8_t original[5] = {};
    const void* fake = nullptr;

    void Install(void* function, const void* replacement);
    void Remove();
    // Runs `call` with the real function's first bytes back in place.
    template <typename Call>
    auto CallReal(Call call) {
        Write(original);
        auto result = call();
        WriteJump();
        return result;
    }

private:
    void Write(const uint8_t* bytes);
    void WriteJump();
};

}  // namespace sim
