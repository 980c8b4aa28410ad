#include "Pellmar/Library.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvin"));
    const bool exitAfterStartup = QCoreApplication::arguments().contains(QStringLiteral("--exit-after-startup"));

    Library library;
    QTextStream out(stdout);
    out << "support folder: " << library.supportDirectory() << Qt::endl
        << "index: " << library.supportDirectory() << "/index.sqlite" << Qt::endl
        << "selection reader: " << (library.reader() ? "open" : "not open") << Qt::endl;

    if (exitAfterStartup)
        QObject::connect(&library, &Library::startupFinished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    return QCoreApplication::exec();
}
