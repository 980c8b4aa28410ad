#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Desktop;

// What files can be shared with on this desktop: the clipboard always, and a new e-mail with the
// files attached where the freedesktop "xdg-email" program is installed. GUI thread; nothing
// waits for the program it starts.
//
// The mail program never sees a file's own name: "xdg-email" and the mail clients it calls decode
// escapes and commas in what they are given, so a crafted name could attach other files or add
// recipients. Each file is attached through a link with a neutral name ("1.jpg") in a folder of
// its own inside the private attachment folder.
class ShareServices {
public:
    enum class Service { copy, email };
    // The folder, private to the user, where the links of attachments are made; nothing when it
    // cannot be had.
    using AttachmentFolder = std::function<std::optional<QString>()>;

    // `emailProgram`: the program that opens a new e-mail; empty when there is none.
    ShareServices(std::shared_ptr<Desktop> desktop, QString emailProgram, AttachmentFolder attachmentFolder);

    // "xdg-email" on the search path, else empty.
    static QString findEmailProgram();
    static QString title(Service service);

    // In menu order.
    QList<Service> available() const;
    // Copies the files to the clipboard, or starts the e-mail program with them attached. A program
    // that cannot be started, or attachments that cannot be linked, are logged. The links of
    // e-mails shared a day ago or earlier are removed.
    void share(Service service, const QStringList& filePaths) const;

private:
    std::shared_ptr<Desktop> desktop_;
    QString emailProgram_;
    AttachmentFolder attachmentFolder_;
};
