// The unit tests end the way the program does: the process exits without
// running static destructors, because worker threads that start-up left
// running (they never return) may still touch process-wide state. Under
// AddressSanitizer the leak check, which would run at normal exit, runs
// first.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
#if defined(__SANITIZE_ADDRESS__)
    if (__lsan_do_recoverable_leak_check() != 0) result = 1;
#endif
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(result);
}
