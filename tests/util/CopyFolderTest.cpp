#include "util/CopyFolder.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(CopyFolder, CopiesEveryFileAndSubfolderAndReplacesExistingFiles) {
    TempFolder dir;
    dir.write(QStringLiteral("src/index.html"), "new index");
    dir.write(QStringLiteral("src/.htaccess"), "dot");
    dir.write(QStringLiteral("src/images/a b/caf\xC3\xA9 \"1\".png"), "png");
    dir.makeFolder(QStringLiteral("src/empty"));
    dir.write(QStringLiteral("dst/index.html"), "an older and longer index");
    const QString readOnly = dir.write(QStringLiteral("src/ro.pdf"), "pdf");
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);

    const CopyReport report = CopyFolder(dir / QStringLiteral("src"), dir / QStringLiteral("dst"));
    EXPECT_TRUE(report.ok()) << report.failures.join('\n').toStdString();
    EXPECT_EQ(readBytes(dir / QStringLiteral("dst/index.html")), QByteArray("new index"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("dst/.htaccess")), QByteArray("dot"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("dst/images/a b/caf\xC3\xA9 \"1\".png")),
              QByteArray("png"));
    EXPECT_TRUE(QFileInfo(dir / QStringLiteral("dst/empty")).isDir());
    // The copy stays editable even where the original was read-only.
    EXPECT_TRUE(QFileInfo(dir / QStringLiteral("dst/ro.pdf")).permissions() & QFile::WriteOwner);
    // A copy a second time over the first one works the same.
    EXPECT_TRUE(CopyFolder(dir / QStringLiteral("src"), dir / QStringLiteral("dst")).ok());
}

TEST(CopyFolder, LinksToFilesBecomeFilesAndLinksToFoldersAreFollowed) {
    TempFolder dir;
    dir.write(QStringLiteral("shared/logo.png"), "logo");
    dir.write(QStringLiteral("src/index.html"));
    dir.link(QStringLiteral("src/logo.png"), dir / QStringLiteral("shared/logo.png"));
    dir.link(QStringLiteral("src/shared"), dir / QStringLiteral("shared"));

    EXPECT_TRUE(CopyFolder(dir / QStringLiteral("src"), dir / QStringLiteral("dst")).ok());
    const QFileInfo copied(dir / QStringLiteral("dst/logo.png"));
    EXPECT_FALSE(copied.isSymLink());
    EXPECT_EQ(readBytes(copied.filePath()), QByteArray("logo"));
    EXPECT_FALSE(QFileInfo(dir / QStringLiteral("dst/shared")).isSymLink());
    EXPECT_EQ(readBytes(dir / QStringLiteral("dst/shared/logo.png")), QByteArray("logo"));
}

TEST(CopyFolder, LoopsAndDanglingLinksAreReportedAndTheRestIsCopied) {
    TempFolder dir;
    dir.write(QStringLiteral("src/index.html"), "i");
    dir.write(QStringLiteral("src/sub/z.css"), "z");
    dir.link(QStringLiteral("src/sub/back-up"), dir / QStringLiteral("src"));
    dir.link(QStringLiteral("src/self"), QStringLiteral("self"));
    dir.link(QStringLiteral("src/dangling.pdf"), dir / QStringLiteral("nowhere.pdf"));
    dir.link(QStringLiteral("src/root"), QStringLiteral("/"));

    const CopyReport report = CopyFolder(dir / QStringLiteral("src"), dir / QStringLiteral("dst"));
    const QString failures = report.failures.join('\n');
    EXPECT_EQ(report.failures.size(), 4) << failures.toStdString();
    EXPECT_TRUE(failures.contains(QStringLiteral("back-up")));
    EXPECT_TRUE(failures.contains(QStringLiteral("dangling.pdf")));
    EXPECT_TRUE(failures.contains(QStringLiteral("/root")));
    EXPECT_EQ(readBytes(dir / QStringLiteral("dst/index.html")), QByteArray("i"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("dst/sub/z.css")), QByteArray("z"));
}

TEST(CopyFolder, SpecialAndUnreadableFilesAreSkippedWithoutHanging) {
    TempFolder dir;
    dir.write(QStringLiteral("src/index.html"), "i");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir / QStringLiteral("src/pipe.html")).constData(), 0644),
              0);
    // Reading this file fails even for root.
    dir.link(QStringLiteral("src/unreadable.pdf"), QStringLiteral("/proc/self/mem"));

    const CopyReport report = CopyFolder(dir / QStringLiteral("src"), dir / QStringLiteral("dst"));
    const QString failures = report.failures.join('\n');
    EXPECT_TRUE(failures.contains(QStringLiteral("pipe.html"))) << failures.toStdString();
    EXPECT_TRUE(failures.contains(QStringLiteral("unreadable.pdf"))) << failures.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("dst/unreadable.pdf"))); // no half copy
    EXPECT_EQ(readBytes(dir / QStringLiteral("dst/index.html")), QByteArray("i"));
}

TEST(CopyFolder, DestinationInsideTheSourceIsNotCopiedIntoItself) {
    TempFolder dir;
    dir.write(QStringLiteral("src/index.html"), "i");
    const CopyReport report =
        CopyFolder(dir / QStringLiteral("src"), dir / QStringLiteral("src/tmp"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("src/tmp/index.html")), QByteArray("i"));
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("src/tmp/tmp")));
}

TEST(CopyFolder, SourceThatIsNoFolderIsReported) {
    TempFolder dir;
    const QString file = dir.write(QStringLiteral("file.html"));
    EXPECT_FALSE(CopyFolder(file, dir / QStringLiteral("dst")).ok());
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("dst")));
}

} // namespace
