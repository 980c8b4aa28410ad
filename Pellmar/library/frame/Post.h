#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <type_traits>
#include <utility>

// Runs `fn` on the GUI thread at a later turn of its event loop, if `context` still exists then;
// otherwise `fn` is dropped unrun. Any thread may call it (a watcher's handler, a scan's progress
// callback); calls from one thread run in the order they were made. `fn` takes the context
// (`[n](Library& library) { library.setScanFound(n); }`) or nothing.
//
// The context is a QPointer made on the GUI thread, typically captured when the work started: a
// raw pointer turned into a QPointer on another thread could already dangle. The pointer is only
// tested on the GUI thread, where the context is destroyed.
template <typename Context, typename F>
void postTo(QPointer<Context> context, F fn)
{
    Q_ASSERT_X(QCoreApplication::instance(), "postTo", "needs the application object");
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [context = std::move(context), fn = std::move(fn)]() mutable {
            if (!context)
                return;
            if constexpr (std::is_invocable_v<F&, Context&>)
                fn(*context);
            else
                fn();
        },
        Qt::QueuedConnection);
}
