#include "PageListMonitor.h"

#include "util/PageListing.h"

#include <QFile>
#include <ctime>

namespace {

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Folder times come from a coarse clock, so a change made just after a listing can leave them
// as they were. Only a stamp at least this old when the listing began is proof of no change.
constexpr time_t kSettledSeconds = 2;

} // namespace

bool PageListMonitor::FolderStamp::operator==(const FolderStamp& other) const {
    return device == other.device && inode == other.inode && sameTime(modified, other.modified) &&
           sameTime(changed, other.changed);
}

bool PageListMonitor::readStamp(const QString& folder, FolderStamp& stamp) {
    struct stat st {};
    if (folder.isEmpty() || ::stat(QFile::encodeName(folder).constData(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
        return false;
    stamp = {st.st_dev, st.st_ino, st.st_mtim, st.st_ctim};
    return true;
}

void PageListMonitor::listPages(const QString& workFolder, const FolderStamp& stamp) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    bool sawLinks = true;
    listedNames_ = ListPages(workFolder, &sawLinks);
    listedFolder_ = workFolder;
    listedStamp_ = stamp;
    // Adding, removing and renaming entries all move the modification time.
    listingHolds_ = !sawLinks && now.tv_sec - stamp.modified.tv_sec >= kSettledSeconds;
    snapshotIsListing_ = false;
}

PageListMonitor::Outcome PageListMonitor::refresh(const QString& workFolder) {
    FolderStamp stamp;
    if (!readStamp(workFolder, stamp))
        return Outcome::NoWorkFolder;
    if (!listingHolds_ || workFolder != listedFolder_ || !(stamp == listedStamp_))
        listPages(workFolder, stamp);
    if (listedNames_.isEmpty())
        return Outcome::NoPages;
    if (valid_ &&
        (snapshotIsListing_ || (snapshotFolder_ == workFolder && snapshotNames_ == listedNames_))) {
        snapshotIsListing_ = true;
        return Outcome::Unchanged;
    }
    snapshotFolder_ = workFolder;
    snapshotNames_ = listedNames_;
    valid_ = true;
    snapshotIsListing_ = true;
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
