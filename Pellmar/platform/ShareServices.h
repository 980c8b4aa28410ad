#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class Desktop;

// What files can be shared with on this desktop: the clipboard always, and a new e-mail with the
// files attached where the freedesktop "xdg-email" program is installed. GUI thread; nothing
// waits for the program it starts.
class ShareServices {
public:
    enum class Service { copy, email };

    // `emailProgram`: the program that opens a new e-mail; empty when there is none.
    ShareServices(std::shared_ptr<Desktop> desktop, QString emailProgram);

    // "xdg-email" on the search path, else empty.
    static QString findEmailProgram();
    static QString title(Service service);

    // In menu order.
    QList<Service> available() const;
    // Copies the files to the clipboard, or starts the e-mail program with them attached. A program
    // that cannot be started is logged.
    void share(Service service, const QStringList& filePaths) const;

private:
    std::shared_ptr<Desktop> desktop_;
    QString emailProgram_;
};
