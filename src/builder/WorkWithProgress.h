#pragma once

#include <QList>
#include <QString>
#include <functional>

class Progress;
class QWidget;

// Runs long work on a thread of its own while the window's thread goes on serving events. A
// progress dialog over the window, titled title, says what is being done and offers Cancel once
// the work has lasted about a second; controls that would start other work are disabled
// meanwhile. Returns when the work has ended and rethrows what it threw, so whatever the window
// says about it comes afterwards, on its own thread.
void RunWithProgress(QWidget* window, const QString& title, const QList<QWidget*>& controls,
                     const std::function<void(Progress&)>& work);
