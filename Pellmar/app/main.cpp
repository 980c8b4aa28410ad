#include "Pellmar/library/Library.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include <cstring>
#include <memory>

namespace {

bool hasArgument(int argc, char** argv, const char* wanted)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], wanted) == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // The start-up check runs without a display: it needs no window, and a QApplication would
    // refuse to start where no display server exists.
    const bool exitAfterStartup = hasArgument(argc, argv, "--exit-after-startup");
    std::unique_ptr<QCoreApplication> app = exitAfterStartup ? std::make_unique<QCoreApplication>(argc, argv)
                                                             : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvin"));

    Library library;
    QTextStream out(stdout);
    out << "support folder: " << library.supportDirectory() << Qt::endl
        << "index: " << library.supportDirectory() << "/index.sqlite" << Qt::endl
        << "selection reader: " << (library.reader() ? "open" : "not open") << Qt::endl;

    if (exitAfterStartup)
        QObject::connect(&library, &Library::startupFinished, app.get(), &QCoreApplication::quit, Qt::QueuedConnection);
    return QCoreApplication::exec();
}
