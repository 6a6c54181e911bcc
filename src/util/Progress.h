#pragma once

#include <QMutex>
#include <QString>
#include <atomic>

// What long work tells whoever waits for it, and how it learns that it should stop. The work
// calls both from its own thread.
class Progress {
public:
    virtual ~Progress() = default;
    // What is being done, as the user reads it, and how far it is: done of total in one unit
    // (files, pages, percent); total 0 when not known.
    virtual void step(const QString& what, qint64 done, qint64 total) = 0;
    // True once the user asked to stop; the work then stops at its next safe point.
    virtual bool cancelled() const = 0;
};

// Thrown by work that stopped because it was cancelled, after it took back what it had begun.
struct Cancelled {};

inline void stopIfCancelled(const Progress* progress) {
    if (progress && progress->cancelled())
        throw Cancelled{};
}

// A count as the user's locale writes it: "1,234".
QString countText(qint64 count);

// Progress that one thread reports and another reads and cancels.
class SharedProgress : public Progress {
public:
    struct State {
        QString what;
        qint64 done = 0;
        qint64 total = 0;
    };

    void step(const QString& what, qint64 done, qint64 total) override;
    bool cancelled() const override { return cancelled_.load(std::memory_order_relaxed); }

    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    State state() const;

private:
    mutable QMutex mutex_;
    State state_;
    std::atomic<bool> cancelled_{false};
};
