#pragma once

#include <QObject>
#include <QString>

// The program's software updates: started once at launch, it says whether the user can ask for a
// check now, and checks when asked. The menu's "Check for Updates…" follows canCheck().
class Updater : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void start() = 0;
    // Runs a check the user asked for; its answer comes with checked().
    virtual void check() = 0;
    bool canCheck() const { return canCheck_; }

Q_SIGNALS:
    void canCheckChanged(bool canCheck);
    // A check ended: what to tell the user.
    void checked(const QString& title, const QString& message);

protected:
    void setCanCheck(bool canCheck)
    {
        if (canCheck_ == canCheck)
            return;
        canCheck_ = canCheck;
        Q_EMIT canCheckChanged(canCheck);
    }

private:
    bool canCheck_ = false;
};
