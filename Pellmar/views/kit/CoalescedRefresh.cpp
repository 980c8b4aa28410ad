#include "Pellmar/views/kit/CoalescedRefresh.h"

#include <QMetaObject>

#include <utility>

CoalescedRefresh::CoalescedRefresh(Library& library, std::initializer_list<Library::Prop> watched, Rebuild rebuild,
                                   QObject* parent)
    : QObject(parent)
    , watched_(watched)
    , rebuild_(std::move(rebuild))
{
    connect(&library, &Library::changed, this, [this](Library::Prop property) {
        if (watched_.contains(property))
            request(property);
    });
}

void CoalescedRefresh::requestAll()
{
    for (Library::Prop property : std::as_const(watched_))
        request(property);
}

void CoalescedRefresh::request(Library::Prop property)
{
    changed_.insert(property);
    if (pending_)
        return;
    pending_ = true;
    QMetaObject::invokeMethod(this, &CoalescedRefresh::run, Qt::QueuedConnection);
}

void CoalescedRefresh::run()
{
    pending_ = false;
    const QSet<Library::Prop> changed = std::exchange(changed_, {});
    rebuild_(changed);
}
