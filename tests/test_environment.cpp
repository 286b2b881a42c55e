// Every test binary gets the source and binary folders as environment
// variables, also when it is run by hand outside CTest.

#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment()
    {
        setenv("ZV_SOURCE_DIR", ZV_TEST_SOURCE_DIR, 0);
        setenv("ZV_BIN_DIR", ZV_TEST_BIN_DIR, 0);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
} g_testEnvironment;

} // namespace
