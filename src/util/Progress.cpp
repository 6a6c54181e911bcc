#include "Progress.h"

#include <QLocale>
#include <QMutexLocker>

QString countText(qint64 count) {
    return QLocale().toString(count);
}

void SharedProgress::step(const QString& what, qint64 done, qint64 total) {
    const QMutexLocker lock(&mutex_);
    state_ = {what, done, total};
}

SharedProgress::State SharedProgress::state() const {
    const QMutexLocker lock(&mutex_);
    return state_;
}
