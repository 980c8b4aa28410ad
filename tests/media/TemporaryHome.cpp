#include <QTemporaryDir>
#include <QtGlobal>

namespace {

// Every test of this suite runs with HOME at an empty temporary folder, set before anything reads
// it, so that the home-folder rules meet a tree of the tests' own and never the user's files.
struct TemporaryHome {
    QTemporaryDir folder;
    TemporaryHome() { qputenv("HOME", folder.path().toLocal8Bit()); }
};

const TemporaryHome temporaryHome;

} // namespace
