#pragma once

#include <QString>

#include <atomic>
#include <functional>

// Fault injection for tests of code that must survive a failing disk. While an injection of a kind
// exists, the guarded calls of that kind fail with the errno that its function returns for the
// path they are given (0: no fault). One injection of a kind at a time.
template <typename Kind>
class FaultInjection {
public:
    using Fault = std::function<int(const QString& path)>;

    explicit FaultInjection(Fault fault) : fault_(std::move(fault)) { current.store(&fault_); }
    ~FaultInjection() { current.store(nullptr); }
    FaultInjection(const FaultInjection&) = delete;
    FaultInjection& operator=(const FaultInjection&) = delete;

    // The errno the guarded call should fail with for this path, or 0.
    static int errorFor(const QString& path)
    {
        const Fault* fault = current.load();
        return fault ? (*fault)(path) : 0;
    }

    // Whether any injection of this kind exists, so that callers convert paths only when it does.
    static bool active() { return current.load() != nullptr; }

private:
    inline static std::atomic<const Fault*> current{nullptr};
    Fault fault_;
};
