#include "Pellmar/library/Library.h"


#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Without a home folder the data would land at the root of the file system: the program refuses to
// start and says why. An absolute XDG_DATA_HOME is enough on its own.
TEST(SupportFolderDeathTest, WithoutHomeTheProgramRefusesToStart)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::unsetenv("HOME");
            ::unsetenv("XDG_DATA_HOME");
            Library::Services::system();
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "HOME is not set");
    EXPECT_EXIT(
        {
            ::unsetenv("HOME");
            ::setenv("XDG_DATA_HOME", "/tmp/quorvin-data-home", 1);
            ::fprintf(stderr, "%s\n", qPrintable(Library::Services::system().supportDirectory));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "/tmp/quorvin-data-home/Quorvin");
}

} // namespace
