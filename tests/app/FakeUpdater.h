#pragma once

#include "Pellmar/app/Updater.h"

// An updater whose can-check state the test sets, counting the checks asked for.
class FakeUpdater final : public Updater {
public:
    void start() override {}
    void check() override { ++checks; }
    using Updater::setCanCheck;

    int checks = 0;
};
