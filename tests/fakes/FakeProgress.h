#pragma once

#include "util/Progress.h"

#include <QList>
#include <functional>

// Records the steps reported and cancels once cancelWhen holds (asked at each check); once
// cancelled it stays so.
class FakeProgress : public Progress {
public:
    struct Step {
        QString what;
        qint64 done;
        qint64 total;
    };

    void step(const QString& what, qint64 done, qint64 total) override {
        steps.push_back({what, done, total});
    }
    bool cancelled() const override {
        if (!cancelled_ && cancelWhen && cancelWhen())
            cancelled_ = true;
        return cancelled_;
    }

    std::function<bool()> cancelWhen;
    QList<Step> steps;

private:
    mutable bool cancelled_ = false;
};
