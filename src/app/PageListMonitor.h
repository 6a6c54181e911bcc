#pragma once

#include <QString>
#include <QStringList>
#include <sys/stat.h>

// Keeps the page list equal to the pages found in the working folder: each refresh looks at the
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
    // What a folder's own entry says of it; adding, removing or renaming an entry changes it.
    struct FolderStamp {
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const FolderStamp& other) const;
    };

    static bool readStamp(const QString& folder, FolderStamp& stamp);
    void listPages(const QString& workFolder, const FolderStamp& stamp);

    // The last listing, and whether an unchanged folder stamp means unchanged pages.
    QString listedFolder_;
    QStringList listedNames_;
    FolderStamp listedStamp_;
    bool listingHolds_ = false;

    // The last rebuild.
    QString snapshotFolder_;
    QStringList snapshotNames_;
    bool valid_ = false;
    bool snapshotIsListing_ = false;
};
