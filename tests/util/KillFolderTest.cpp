#include "util/KillFolder.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(KillFolder, DeletesEverythingBelowDotFilesIncluded) {
    TempFolder dir;
    dir.write(QStringLiteral("tmp/index.html"), "x");
    dir.write(QStringLiteral("tmp/.hidden"), "x");
    dir.write(QStringLiteral("tmp/.git/config"), "x");
    dir.write(QStringLiteral("tmp/images/deep/er/a.png"), "x");
    dir.makeFolder(QStringLiteral("tmp/empty"));
    const QString readOnly = dir.write(QStringLiteral("tmp/ro/locked.pdf"), "x");
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    ::chmod(QFile::encodeName(dir / QStringLiteral("tmp/ro")).constData(), 0555);

    QString failure;
    EXPECT_TRUE(KillFolder(dir / QStringLiteral("tmp"), &failure)) << failure.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("tmp")));
}

TEST(KillFolder, TrailingSeparatorMakesNoDifference) {
    TempFolder dir;
    dir.write(QStringLiteral("tmp/a.html"));
    EXPECT_TRUE(KillFolder(dir / QStringLiteral("tmp/")));
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("tmp")));
}

TEST(KillFolder, NeverFollowsLinksOutOfTheFolder) {
    TempFolder dir;
    const QString outsideFile = dir.write(QStringLiteral("keep/precious.txt"), "mine");
    dir.write(QStringLiteral("tmp/a.html"));
    dir.link(QStringLiteral("tmp/to-folder"), dir / QStringLiteral("keep"));
    dir.link(QStringLiteral("tmp/to-file"), outsideFile);
    dir.link(QStringLiteral("tmp/sub/dangling"), dir / QStringLiteral("nowhere"));

    EXPECT_TRUE(KillFolder(dir / QStringLiteral("tmp")));
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("tmp")));
    EXPECT_EQ(readBytes(outsideFile), QByteArray("mine"));

    // A link standing for the folder itself goes as a link; its target stays.
    dir.link(QStringLiteral("linked-tmp"), dir / QStringLiteral("keep"));
    EXPECT_TRUE(KillFolder(dir / QStringLiteral("linked-tmp")));
    EXPECT_EQ(readBytes(outsideFile), QByteArray("mine"));
}

TEST(KillFolder, RefusesWhatIsNotAFolderToDelete) {
    TempFolder dir;
    const QString file = dir.write(QStringLiteral("file.txt"), "x");
    QString failure;
    EXPECT_FALSE(KillFolder(file, &failure));
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_FALSE(KillFolder(dir / QStringLiteral("missing"), &failure));
    EXPECT_TRUE(failure.contains(QStringLiteral("missing")));
    EXPECT_FALSE(KillFolder(QString()));
    EXPECT_FALSE(KillFolder(QStringLiteral("/")));
}

TEST(KillFolder, ChangesNoPermissionOutsideTheFolder) {
    TempFolder dir;
    const QByteArray parent = QFile::encodeName(dir / QStringLiteral("parent"));
    dir.write(QStringLiteral("parent/tmp/sub/a.html"));
    ::chmod(parent + "/tmp/sub", 0555); // inside: loosened to be emptied
    // Root may delete anywhere: the tree goes to an ordinary user, whose rights then count.
    const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid();
    ::chmod(QFile::encodeName(dir.path()), 0755);
    for (const char* path : {"", "/tmp", "/tmp/sub", "/tmp/sub/a.html"})
        ::lchown(parent + path, user, user);
    ::chmod(parent, 0555);
    ::setfsuid(user);
    const bool deleted = KillFolder(dir / QStringLiteral("parent/tmp"));
    ::setfsuid(::geteuid());
    struct stat st {};
    ::stat(parent, &st);
    EXPECT_FALSE(deleted);
    EXPECT_EQ(st.st_mode & 07777, 0555u);
    EXPECT_TRUE(QDir(dir / QStringLiteral("parent/tmp")).isEmpty());
    ::chmod(parent, 0755);
}

TEST(KillFolder, StopsAtAFileThatCannotBeDeletedAndSaysWhich) {
    TempFolder dir;
    dir.write(QStringLiteral("tmp/a.html"));
    const QString stuck = dir.write(QStringLiteral("tmp/sub/stuck.pdf"), "x");
    if (!makeUndeletable(stuck))
        GTEST_SKIP() << "cannot make a file undeletable here";
    QString failure;
    EXPECT_FALSE(KillFolder(dir / QStringLiteral("tmp"), &failure));
    makeDeletable(stuck);
    EXPECT_TRUE(failure.contains(QStringLiteral("stuck.pdf"))) << failure.toStdString();
    EXPECT_TRUE(QFileInfo::exists(stuck));
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("tmp/a.html"))); // deleted before it
}

} // namespace
