#include "Pellmar/index/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvin"));

    const QString support = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Quorvin");
    QDir().mkpath(support + QStringLiteral("/Proxies"));
    const QString indexPath = support + QStringLiteral("/index.sqlite");
    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        Database database(indexPath);
        out << indexPath << Qt::endl;
    } catch (const DatabaseError& error) {
        err << error.description() << Qt::endl;
        return 1;
    }
    return 0;
}
