#include "Pellmar/views/destination/FolderColumnsCoordinator.h"

#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/views/destination/DestinationRules.h"

#include <QFileInfo>
#include <QPointer>

#include <algorithm>

namespace {

class PoolFolderLister final : public FolderLister {
public:
    explicit PoolFolderLister(TaskPools& pools) : pools_(pools) {}

    void list(const QString& folder, const QStringList& excluded, QObject* context,
              std::function<void(const QStringList&)> done) override
    {
        // A listing read before the continuation is attached would be handed over inside list(),
        // in the middle of the caller's walk; it always arrives on a later turn instead.
        pools_.run(Priority::userInitiated, [folder, excluded] { return destination::folderListing(folder, excluded); })
            .then(context, [context, done = std::move(done)](const QStringList& listing) {
                QMetaObject::invokeMethod(context, [done, listing] { done(listing); }, Qt::QueuedConnection);
            });
    }

private:
    TaskPools& pools_;
};

} // namespace

std::unique_ptr<FolderLister> poolFolderLister(TaskPools& pools)
{
    return std::make_unique<PoolFolderLister>(pools);
}

FolderColumnsCoordinator::FolderColumnsCoordinator(FolderLister& lister, QObject* parent)
    : QObject(parent)
    , lister_(lister)
{
}

std::optional<QStringList> FolderColumnsCoordinator::children(const QString& folder)
{
    if (const auto it = cache_.constFind(folder); it != cache_.constEnd())
        return *it;
    if (!asked_.value(folder)) {
        asked_.insert(folder, true);
        lister_.list(folder, parent_.excluded, this,
                     [this, generation = generation_, folder](const QStringList& listing) { received(generation, folder, listing); });
    }
    return std::nullopt;
}

void FolderColumnsCoordinator::received(quint64 generation, const QString& folder, const QStringList& listing)
{
    if (generation != generation_)
        return;
    asked_.remove(folder);
    const bool filtered = filterParent_ == folder;
    cache_.insert(folder, filtered ? destination::filterFolders(listing, filter_) : listing);
    if (following_)
        followSelection();
    askShown();
    Q_EMIT changed(-1);
}

void FolderColumnsCoordinator::update(const Values& values)
{
    parent_ = values;
    if (root_ != values.root || reload_ != values.reload) {
        root_ = values.root;
        reload_ = values.reload;
        filter_.clear();
        cache_.clear();
        asked_.clear();
        ++generation_;
        selectedPath_.clear();
        following_.reset();
        select(values.selection);
        askShown();
        Q_EMIT changed(-1);
        return;
    }
    if (values.filter != filter_) {
        filter_ = values.filter;
        filterParent_ = values.selection.value_or(*root_);
        cache_.remove(*filterParent_);
        asked_.remove(*filterParent_);
        askShown();
        Q_EMIT changed(-1);
        return;
    }
    if (!values.selection || *values.selection == *root_)
        return;
    if (!selectedPath_.isEmpty() && selectedPath_.last() == *values.selection)
        return;
    select(values.selection);
}

void FolderColumnsCoordinator::select(const std::optional<QString>& target)
{
    if (!root_ || !target || !target->startsWith(*root_ + u'/'))
        return;
    following_ = target;
    followSelection();
}

void FolderColumnsCoordinator::followSelection()
{
    const QStringList pieces = following_->mid(root_->size() + 1).split(u'/', Qt::SkipEmptyParts);
    QStringList path;
    QString folder = *root_;
    bool waiting = false;
    for (const QString& piece : pieces) {
        const std::optional<QStringList> listing = children(folder);
        if (!listing) {
            waiting = true;
            break;
        }
        const auto found = std::find_if(listing->cbegin(), listing->cend(),
                                        [&piece](const QString& child) { return QFileInfo(child).fileName() == piece; });
        if (found == listing->cend())
            break;
        folder = *found;
        path.append(folder);
    }
    if (!waiting)
        following_.reset();
    if (path.isEmpty() && waiting)
        return;
    if (!path.isEmpty())
        selectedPath_ = path;
    Q_EMIT changed(path.isEmpty() ? -1 : int(path.size()));
}

void FolderColumnsCoordinator::pick(int column, int row)
{
    if (!root_)
        return;
    following_.reset();
    const QList<Column> shown = columns();
    selectedPath_ = selectedPath_.mid(0, column);
    if (row >= 0 && column < shown.size() && shown[column].children && row < shown[column].children->size())
        selectedPath_.append(shown[column].children->at(row));
    askShown();
    Q_EMIT changed(selectedPath_.isEmpty() ? -1 : int(selectedPath_.size()));
    if (onPick)
        onPick(selectedPath_.isEmpty() ? root_ : std::optional(selectedPath_.last()));
}

void FolderColumnsCoordinator::askShown()
{
    if (!root_)
        return;
    children(*root_);
    for (const QString& folder : QStringList(selectedPath_))
        children(folder);
}

QList<FolderColumnsCoordinator::Column> FolderColumnsCoordinator::columns() const
{
    QList<Column> shown;
    if (!root_)
        return shown;
    // Looking at a column asks for its listing when it has not been read.
    auto* self = const_cast<FolderColumnsCoordinator*>(this);
    QStringList folders{*root_};
    folders += selectedPath_;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        Column column{folders[i], self->children(folders[i]), -1};
        if (i + 1 < folders.size() && column.children)
            column.selected = int(column.children->indexOf(folders[i + 1]));
        shown.append(column);
    }
    return shown;
}
