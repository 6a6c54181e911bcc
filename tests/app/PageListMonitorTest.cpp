#include "app/PageListMonitor.h"
#include "support/TempFolder.h"

#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Sets a folder's modification time into the past, as for a folder nobody touched for a while.
void settle(const QString& folder) {
    timespec times[2]{};
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 60;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), times, 0);
}

TEST(PageListMonitor, ASettledFolderIsStillWatchedForEveryChangeOfItsPages) {
    TempFolder work;
    work.write(QStringLiteral("a.html"));
    work.write(QStringLiteral("b.html"));
    settle(work.path());
    PageListMonitor monitor;
    EXPECT_EQ(monitor.refresh(work.path()), PageListMonitor::Outcome::Rebuilt);
    EXPECT_EQ(monitor.refresh(work.path()), PageListMonitor::Outcome::Unchanged);
    EXPECT_EQ(monitor.refresh(work.path()), PageListMonitor::Outcome::Unchanged);

    QFile::rename(work / QStringLiteral("a.html"), work / QStringLiteral("c.html"));
    EXPECT_EQ(monitor.refresh(work.path()), PageListMonitor::Outcome::Rebuilt);
    EXPECT_EQ(monitor.pagePaths(),
              (QStringList{work / QStringLiteral("b.html"), work / QStringLiteral("c.html")}));

    settle(work.path());
    monitor.refresh(work.path());
    QFile::remove(work / QStringLiteral("b.html"));
    QFile::remove(work / QStringLiteral("c.html"));
    EXPECT_EQ(monitor.refresh(work.path()), PageListMonitor::Outcome::NoPages);

    work.write(QStringLiteral("d.html"));
    settle(work.path());
    monitor.forget(); // a load asks for a rebuild even when the names are the same
    EXPECT_EQ(monitor.refresh(work.path()), PageListMonitor::Outcome::Rebuilt);
    EXPECT_EQ(monitor.refresh(work.path() + QStringLiteral("/missing")),
              PageListMonitor::Outcome::NoWorkFolder);
}

TEST(PageListMonitor, PagesBehindLinksAreListedAgainOnEveryTick) {
    TempFolder dir;
    const QString target = dir.write(QStringLiteral("elsewhere/real.html"));
    dir.link(QStringLiteral("work/linked.html"), target);
    settle(dir / QStringLiteral("work"));
    PageListMonitor monitor;
    EXPECT_EQ(monitor.refresh(dir / QStringLiteral("work")), PageListMonitor::Outcome::Rebuilt);
    QFile::remove(target); // the link now leads nowhere; the folder itself is untouched
    EXPECT_EQ(monitor.refresh(dir / QStringLiteral("work")), PageListMonitor::Outcome::NoPages);
}

} // namespace
