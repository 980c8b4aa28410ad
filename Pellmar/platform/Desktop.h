#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The applications a desktop offers for one type of file, by desktop entry id: the one it opens
// such files with, and every one that can open them (the preferred one among them).
struct DesktopApps {
    std::optional<QString> preferred;
    QStringList all;

    // Every one but the preferred one, in order.
    QStringList others() const
    {
        QStringList rest = all;
        if (preferred)
            rest.removeAll(*preferred);
        return rest;
    }

    bool operator==(const DesktopApps&) const = default;
};

// The MIME type of files with this extension; nothing when no type claims it.
std::optional<QString> mimeTypeForExtension(const QString& extension);

// What a menu shows of an application: the localized name of its desktop entry and its icon (a
// theme icon name or an image file's path; empty without one).
struct DesktopEntry {
    QString name;
    QString icon;
    bool operator==(const DesktopEntry&) const = default;
};

// The desktop entry `appID` as GIO finds it in the XDG data folders; nothing when there is none.
std::optional<DesktopEntry> desktopEntry(const QString& appID);

// How files leave the program for the rest of the desktop: other applications, the file manager
// and the clipboard. GUI thread; no call waits for the application or the file manager it asks.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Opens the file or folder in the application the desktop prefers for it.
    virtual void open(const QString& path) = 0;
    // Opens the file in the application of the desktop entry `appID`.
    virtual void openWith(const QString& path, const QString& appID) = 0;
    // The applications for a MIME type.
    virtual DesktopApps applications(const QString& mimeType) = 0;
    // Shows the file selected in a file manager window.
    virtual void reveal(const QString& path) = 0;
    // Opens a file manager window on the folder.
    virtual void revealFolder(const QString& path) = 0;
    // Replaces the clipboard's contents with plain text.
    virtual void copyText(const QString& text) = 0;
    // Replaces the clipboard's contents with files (as a list of file URLs) and images.
    virtual void copyObjects(const QStringList& filePaths, const QList<QImage>& images) = 0;
};

// The desktop of this session: the default applications and GIO's list of applications, the
// file manager over D-Bus, the clipboard of the running application (none without a display).
std::shared_ptr<Desktop> systemDesktop();
