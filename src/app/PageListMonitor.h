#pragma once

#include <QString>
#include <QStringList>

// Keeps the page list equal to the pages found in the working folder: each refresh re-reads the
// folder and tells whether the list must be rebuilt.
class PageListMonitor {
public:
    enum class Outcome {
        NoWorkFolder, // nothing to look at yet
        NoPages,      // the folder holds no page
        Unchanged,    // same folder, same page names as the last rebuild
        Rebuilt,      // pagePaths() holds the new list
    };

    Outcome refresh(const QString& workFolder);

    // Makes the next refresh that finds pages rebuild the list, even with the same names.
    void forget();

    // Full paths of the pages of the last rebuild, in listing order.
    QStringList pagePaths() const;

private:
    QString snapshotFolder_;
    QStringList snapshotNames_;
    bool valid_ = false;
};
