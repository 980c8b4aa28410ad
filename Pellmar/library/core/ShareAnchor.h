#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

class Library;

// Where a share picker opens for a key. A view that offers sharing keeps a ShareAnchor under a key
// of its choice (a tile: its item's id; the item detail's preview: "inspector"; the selection
// panel: "group"), which registers itself in Library::anchors; Library::share opens the picker at
// the rectangle that the anchor reports, or at the pointer when it reports none.
//
// One anchor per key is registered: the last one made or updated. An anchor removes only its own
// registration, so an older anchor going away never removes a newer one under the same key. The
// anchor holds its Library weakly: one that outlives it does nothing.
class ShareAnchor : public QObject {
    Q_OBJECT
public:
    // The anchor's rectangle in global screen coordinates while it is shown in a window.
    using Locator = std::function<std::optional<QRect>()>;

    ShareAnchor(Library& library, const QString& key, Locator locate, QObject* parent = nullptr);
    ~ShareAnchor() override;

    const QString& key() const { return key_; }
    // Registers the anchor under `key`, dropping its registration under the old key if that is
    // still its own. Registers again when the key is the same, taking the key back from another
    // anchor that took it meanwhile.
    void update(const QString& key);

    std::optional<QRect> screenRect() const { return locate_(); }

private:
    QPointer<Library> library_;
    QString key_;
    Locator locate_;
};
