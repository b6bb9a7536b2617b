// A plugin built for the MSVC ABI (clang --target=i686-pc-windows-msvc,
// without a C runtime) that resolves Quellbrand's notices through
// QuellbrandNotices.h, so that the e2e tests can check the MSVC names the
// header looks up against the loaded module.
#include "QuellbrandNotices.h"

extern "C" __declspec(dllexport) int __cdecl ResolveThroughHeader(QuellbrandNotices::Api* api) {
    return QuellbrandNotices::Resolve(*api) ? 1 : 0;
}
