#pragma once

#include "Pellmar/library/Library.h"

#include <QObject>
#include <QSet>

#include <functional>
#include <initializer_list>

// Rebuilds a view at most once per turn of the event loop after any of the Library properties it
// reads has changed. The rebuild is told which of them changed since the last one.
class CoalescedRefresh : public QObject {
    Q_OBJECT
public:
    using Rebuild = std::function<void(const QSet<Library::Prop>& changed)>;

    CoalescedRefresh(Library& library, std::initializer_list<Library::Prop> watched, Rebuild rebuild,
                     QObject* parent);

    // Asks for a rebuild as if every watched property had changed (the first fill of a view).
    void requestAll();
    bool isPending() const { return pending_; }

private:
    void request(Library::Prop property);
    void run();

    QSet<Library::Prop> watched_;
    QSet<Library::Prop> changed_;
    Rebuild rebuild_;
    bool pending_ = false;
};
