#include "WorkWithProgress.h"

#include "util/Progress.h"

#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <memory>

namespace {

// The dialog's bar runs from 0 to kScale; the work's value never goes back to 0, which would
// restart the dialog's wait before it shows.
constexpr int kScale = 1000;

class ProgressWindow {
public:
    ProgressWindow(QWidget* window, const QString& title, SharedProgress& progress)
        : dialog_(window), progress_(progress) {
        dialog_.setWindowTitle(title);
        dialog_.setAccessibleName(title);
        label_ = new QLabel(title + QStringLiteral("..."));
        label_->setAccessibleName(label_->text());
        dialog_.setLabel(label_);
        auto* bar = new QProgressBar;
        bar->setAccessibleName(title);
        dialog_.setBar(bar);
        auto* cancel = new QPushButton(QStringLiteral("Cancel"));
        cancel->setAccessibleName(cancel->text());
        dialog_.setCancelButton(cancel);
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setRange(0, kScale);
        dialog_.setMinimumDuration(1000);
        dialog_.setValue(0); // the second to wait starts now
        // The button, closing the dialog, or Escape.
        QObject::connect(&dialog_, &QProgressDialog::canceled, &dialog_,
                         [this] { progress_.cancel(); });
        QObject::connect(&dialog_, &QDialog::rejected, &dialog_, [this] { progress_.cancel(); });
        QObject::connect(&poll_, &QTimer::timeout, &dialog_, [this] { update(); });
        poll_.start(100);
    }
    ~ProgressWindow() { poll_.stop(); }

private:
    void update() {
        if (dialog_.wasCanceled())
            progress_.cancel();
        if (progress_.cancelled())
            return;
        const SharedProgress::State state = progress_.state();
        if (!state.what.isEmpty() && state.what != dialog_.labelText()) {
            dialog_.setLabelText(state.what);
            label_->setAccessibleName(state.what);
        }
        if (state.total > 0)
            dialog_.setValue(int(std::clamp<qint64>(state.done * kScale / state.total, 1, kScale)));
    }

    QProgressDialog dialog_;
    QLabel* label_ = nullptr;
    QTimer poll_;
    SharedProgress& progress_;
};

// Disabled for as long as it lives; only what it disabled is enabled again.
class DisabledControls {
public:
    explicit DisabledControls(const QList<QWidget*>& controls) {
        for (QWidget* control : controls) {
            if (control && control->isEnabled()) {
                control->setEnabled(false);
                disabled_ << control;
            }
        }
    }
    ~DisabledControls() {
        for (const QPointer<QWidget>& control : disabled_)
            if (control)
                control->setEnabled(true);
    }

private:
    QList<QPointer<QWidget>> disabled_;
};

} // namespace

void RunWithProgress(QWidget* window, const QString& title, const QList<QWidget*>& controls,
                     const std::function<void(Progress&)>& work) {
    SharedProgress progress;
    std::exception_ptr thrown;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work(progress);
        } catch (...) {
            thrown = std::current_exception();
        }
    }));
    {
        const DisabledControls disabled(controls);
        const ProgressWindow shown(window, title, progress);
        QEventLoop loop;
        bool ended = false;
        QObject::connect(worker.get(), &QThread::finished, &loop, [&] {
            ended = true;
            loop.quit();
        });
        worker->start();
        loop.exec();
        // The loop also ends when the application quits; the work then stops at once.
        if (!ended)
            progress.cancel();
        worker->wait();
    }
    if (thrown)
        std::rethrow_exception(thrown);
}
