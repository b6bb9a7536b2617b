// Entry of a test DLL: quellhost.exe has shaped the process as the game and
// calls HostMain, which writes the simulated host and runs every test.
#include <gtest/gtest.h>

#include "sim.h"

extern "C" __declspec(dllexport) int HostMain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    sim::InstallHost();
    return RUN_ALL_TESTS();
}
