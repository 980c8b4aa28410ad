#include "Pellmar/library/core/ShareAnchor.h"

#include "Pellmar/library/Library.h"

ShareAnchor::ShareAnchor(Library& library, const QString& key, Locator locate, QObject* parent)
    : QObject(parent)
    , library_(&library)
    , key_(key)
    , locate_(std::move(locate))
{
    library.anchors.insert(key_, this);
}

ShareAnchor::~ShareAnchor()
{
    if (!library_)
        return;
    const auto it = library_->anchors.constFind(key_);
    if (it != library_->anchors.cend() && it.value() == this)
        library_->anchors.erase(it);
}

void ShareAnchor::update(const QString& key)
{
    if (!library_)
        return;
    if (key != key_) {
        const auto it = library_->anchors.constFind(key_);
        if (it != library_->anchors.cend() && it.value() == this)
            library_->anchors.erase(it);
    }
    key_ = key;
    library_->anchors.insert(key_, this);
}
