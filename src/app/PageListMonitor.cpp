#include "PageListMonitor.h"

#include "util/HelperOps.h"
#include "util/PageListing.h"

PageListMonitor::Outcome PageListMonitor::refresh(const QString& workFolder) {
    if (!PathExists(workFolder, true))
        return Outcome::NoWorkFolder;
    QStringList names = ListPages(workFolder);
    if (names.isEmpty())
        return Outcome::NoPages;
    if (valid_ && snapshotFolder_ == workFolder && snapshotNames_ == names)
        return Outcome::Unchanged;
    snapshotFolder_ = workFolder;
    snapshotNames_ = std::move(names);
    valid_ = true;
    return Outcome::Rebuilt;
}

void PageListMonitor::forget() {
    valid_ = false;
}

QStringList PageListMonitor::pagePaths() const {
    QStringList paths;
    paths.reserve(snapshotNames_.size());
    for (const QString& name : snapshotNames_)
        paths << snapshotFolder_ + QLatin1Char('/') + name;
    return paths;
}
