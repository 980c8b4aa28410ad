#include "Pellmar/platform/Desktop.h"

#include "Pellmar/platform/FileManager.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace {

QString appID(GAppInfo* app)
{
    const char* id = app ? g_app_info_get_id(app) : nullptr;
    return id ? QString::fromUtf8(id) : QString();
}

// The running application's clipboard; none in a program without a display.
QClipboard* clipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}

class SystemDesktop final : public Desktop {
public:
    void open(const QString& path) override { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

    void openWith(const QString& path, const QString& appID) override
    {
        GAppInfo* app = G_APP_INFO(g_desktop_app_info_new(appID.toUtf8().constData()));
        if (!app)
            return;
        GList* uris = g_list_append(nullptr, g_strdup(QUrl::fromLocalFile(path).toEncoded().constData()));
        // A failed launch is not reported, as with opening in the default application.
        g_app_info_launch_uris(app, uris, nullptr, nullptr);
        g_list_free_full(uris, g_free);
        g_object_unref(app);
    }

    DesktopApps applications(const QString& mimeType) override
    {
        const QByteArray type = mimeType.toUtf8();
        DesktopApps apps;
        if (GAppInfo* preferred = g_app_info_get_default_for_type(type.constData(), false)) {
            if (const QString id = appID(preferred); !id.isEmpty())
                apps.preferred = id;
            g_object_unref(preferred);
        }
        GList* all = g_app_info_get_all_for_type(type.constData());
        for (GList* entry = all; entry; entry = entry->next) {
            if (const QString id = appID(G_APP_INFO(entry->data)); !id.isEmpty())
                apps.all.append(id);
        }
        g_list_free_full(all, g_object_unref);
        return apps;
    }

    void reveal(const QString& path) override { showInFileManager(path); }
    void revealFolder(const QString& path) override { showFolderInFileManager(path); }

    void copyText(const QString& text) override
    {
        if (QClipboard* board = clipboard())
            board->setText(text);
    }

    void copyObjects(const QStringList& filePaths, const QList<QImage>& images) override
    {
        QClipboard* board = clipboard();
        if (!board)
            return;
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : filePaths)
            urls.append(QUrl::fromLocalFile(path));
        if (!urls.isEmpty())
            data->setUrls(urls);
        // The clipboard holds one image: the first.
        if (!images.isEmpty())
            data->setImageData(images.first());
        board->setMimeData(data);
    }
};

} // namespace

std::optional<QString> mimeTypeForExtension(const QString& extension)
{
    if (extension.isEmpty())
        return std::nullopt;
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("file.") + extension, QMimeDatabase::MatchExtension);
    // The default type, "application/octet-stream", says only that nothing matched.
    return type.isDefault() ? std::nullopt : std::optional(type.name());
}

std::optional<DesktopEntry> desktopEntry(const QString& appID)
{
    GDesktopAppInfo* app = g_desktop_app_info_new(appID.toUtf8().constData());
    if (!app)
        return std::nullopt;
    DesktopEntry entry;
    entry.name = QString::fromUtf8(g_app_info_get_name(G_APP_INFO(app)));
    if (GIcon* icon = g_app_info_get_icon(G_APP_INFO(app))) {
        if (G_IS_THEMED_ICON(icon)) {
            if (const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon)); names && names[0])
                entry.icon = QString::fromUtf8(names[0]);
        } else if (G_IS_FILE_ICON(icon)) {
            if (gchar* path = g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon)))) {
                entry.icon = QString::fromUtf8(path);
                g_free(path);
            }
        }
    }
    g_object_unref(app);
    return entry;
}

std::shared_ptr<Desktop> systemDesktop()
{
    return std::make_shared<SystemDesktop>();
}
