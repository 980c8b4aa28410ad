#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The test main of suites that start the whole Library on a home folder of their own: the program
// reads the home folder once per process, so each process gets a new, empty one before anything
// reads it. The settings, data and photo library folders follow the home folder.
int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "QUORVIN_PHOTOS_LIBRARY"})
        qunsetenv(variable);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
