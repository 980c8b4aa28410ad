#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/views/destination/BrowserRows.h"
#include "Pellmar/views/destination/DestinationRules.h"
#include "Pellmar/views/frame/AlertDialog.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class ElidedLabel;
class FolderColumns;
class FolderLister;
class Library;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStackedWidget;

// The photo library as the chooser sees it: whether it may be read, and its album tree.
struct PhotosAlbums {
    std::function<bool()> access;                    // GUI thread, answers at once
    std::function<QList<PhotosNode>()> readTree;     // on a pool thread
    // The program's photo library.
    static PhotosAlbums system();
};

// The chooser of an import destination: recent destinations, the indexed locations and the photo
// library on the left; the folder columns of the chosen location, or the photo library's album
// groups and albums, on the right; under them "New Folder…" or "New Album…" and a search field.
// The owner keeps the destination: it sets it with setTarget() and hears the user's choice
// through targetChanged(). Folders are listed, and the recent destinations and the album tree
// read, off the GUI thread.
class DestinationBrowser : public QWidget {
    Q_OBJECT
public:
    DestinationBrowser(Library& library, bool allowsNewAlbum, QWidget* parent = nullptr);
    DestinationBrowser(Library& library, bool allowsNewAlbum, PhotosAlbums photos,
                       std::unique_ptr<FolderLister> lister, QWidget* parent = nullptr);
    ~DestinationBrowser() override;

    const std::optional<ImportTarget>& target() const { return target_; }
    // From the owner; does not signal.
    void setTarget(const std::optional<ImportTarget>& target);

    // The derived state, for tests.
    destination::BrowserInput input() const;
    QListWidget& places() const { return *places_; }
    QListWidget& groups() const { return *groups_; }
    QListWidget& albums() const { return *albums_; }
    QLineEdit& searchField() const { return *search_; }
    QPushButton& actionButton() const { return *action_; }
    FolderColumns& columns() const { return *columns_; }
    const ElidedLabel& captionLabel() const { return *caption_; }
    AlertDialog* namePrompt() const { return prompt_; }
    // Whether the album tree and the recent destinations have been read since the chooser was shown.
    bool loaded() const { return albumsLoaded_ && recentLoaded_; }

    // Makes the folder or the album named `name` in the current place, as "Create" does.
    void create(const QString& name);

Q_SIGNALS:
    void targetChanged(const std::optional<ImportTarget>& target);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void choose(const std::optional<ImportTarget>& target);
    void refresh();
    void fillPlaces(const destination::BrowserInput& in);
    void fillAlbums(const destination::BrowserInput& in);
    void placeClicked(QListWidgetItem* item);
    void askName();
    void load();

    Library& library_;
    const bool allowsNewAlbum_;
    PhotosAlbums photos_;
    std::optional<ImportTarget> target_;
    std::optional<QString> root_;
    std::optional<QString> shownPlace_;
    bool placeShown_ = false;
    int reload_ = 0;
    QList<ImportTarget> recent_;
    QList<PhotosNode> albumTree_;
    QString albumFolder_ = QString::fromUtf16(destination::topAlbumsGroup);
    bool albumsLoaded_ = false;
    bool recentLoaded_ = false;
    quint64 shows_ = 0;

    QListWidget* places_;
    ElidedLabel* caption_;
    QStackedWidget* middle_;
    FolderColumns* columns_;
    QListWidget* groups_;
    QListWidget* albums_;
    QPushButton* action_;
    QLineEdit* search_;
    QPointer<AlertDialog> prompt_;
};
