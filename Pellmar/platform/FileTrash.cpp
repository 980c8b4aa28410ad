#include "Pellmar/platform/FileTrash.h"

#include <QFile>

#include <gio/gio.h>

std::optional<QString> moveFileToTrash(const QString& path)
{
    // GIO writes the info entry before it moves the file and reports every refusal as an error,
    // where a loop that retries the entry's name would never end.
    GFile* file = g_file_new_for_path(QFile::encodeName(path).constData());
    GError* error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (trashed)
        return std::nullopt;
    QString reason = error ? QString::fromUtf8(error->message) : QStringLiteral("The Trash refused it");
    if (error)
        g_error_free(error);
    if (!reason.endsWith(u'.'))
        reason += u'.';
    return reason;
}
