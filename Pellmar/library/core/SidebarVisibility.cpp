#include "Pellmar/library/Library.h"

#include "Pellmar/platform/Defaults.h"

namespace {

// Takes `entry` out of the list and, when hidden, puts it back at the end: each entry appears at
// most once, in the order it was hidden.
template <typename Edit>
void placeHidden(Edit edit, const QString& entry, bool hidden)
{
    edit([&entry](QStringList& list) { list.removeAll(entry); });
    if (hidden)
        edit([&entry](QStringList& list) { list.append(entry); });
}

} // namespace

void Library::setSourceHidden(const QString& sourceID, bool hidden)
{
    placeHidden([this](auto change) { editHiddenSources(change); }, sourceID, hidden);
    defaults_->set(QStringLiteral("hiddenSources"), hiddenSources_);
}

void Library::setSmartHidden(SmartFilter filter, bool hidden)
{
    placeHidden([this](auto change) { editHiddenSmart(change); }, rawValue(filter), hidden);
    defaults_->set(QStringLiteral("hiddenSmart"), hiddenSmart_);
}

void Library::setImportDefault(const std::optional<ImportTarget>& target)
{
    // An album that does not exist yet cannot be a default.
    if (target && std::holds_alternative<ImportTarget::NewAlbum>(target->destination))
        return;
    storeImportDefault(target ? std::optional(target->id()) : std::nullopt);
    const QString key = QStringLiteral("importDefault");
    if (importDefault_)
        defaults_->set(key, *importDefault_);
    else
        defaults_->remove(key);
}
