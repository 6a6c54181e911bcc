#include "util/Utf8Writer.h"
#include "support/TempFolder.h"
#include "util/TextFile.h"

#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>

namespace {

TEST(Utf8Writer, AppendsAfterWhatTheFileHolds) {
    TempFolder dir;
    const QString path = dir.write(QStringLiteral("log.txt"), "old\r\n");
    int file = OpenFileForAppend(path);
    WriteUTF8Text(file, QStringLiteral("caf\u00e9"), true);
    WriteUTF8Text(file, QStringLiteral("end"), false);
    CloseFile(file);
    EXPECT_EQ(readBytes(path), QByteArray("old\r\ncaf\xC3\xA9\r\nend"));

    // Opened again, it still appends.
    file = OpenFileForAppend(path);
    WriteUTF8Text(file, QStringLiteral("!"), false);
    CloseFile(file);
    EXPECT_EQ(readBytes(path), QByteArray("old\r\ncaf\xC3\xA9\r\nend!"));
}

TEST(Utf8Writer, CreatesAMissingFileAndWritesNoMark) {
    TempFolder dir;
    const QString path = dir / QStringLiteral("new.txt");
    const int file = OpenFileForAppend(path);
    WriteUTF8Text(file, QString(), false);
    CloseFile(file);
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(QFileInfo(path).size(), 0);

    const int again = OpenFileForAppend(path);
    WriteUTF8Text(again, QStringLiteral("\u20ac"), false);
    WriteUTF8Text(again, QString(), true);
    CloseFile(again);
    EXPECT_EQ(readBytes(path), QByteArray("\xE2\x82\xAC\r\n"));
}

TEST(Utf8Writer, BytesKeptByLoadingAreWrittenBack) {
    TempFolder dir;
    const QByteArray bytes("caf\xE9 \xFF \xC3", 8);
    const QString path = dir / QStringLiteral("copy.txt");
    const int file = OpenFileForAppend(path);
    WriteUTF8Text(file, decodeUtf8Lossless(bytes), false);
    CloseFile(file);
    EXPECT_EQ(readBytes(path), bytes);
}

TEST(Utf8Writer, BadNumbersAndMissingFoldersAreErrors) {
    TempFolder dir;
    try {
        OpenFileForAppend(dir / QStringLiteral("no/such/folder.txt"));
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(error.code(), ENOENT);
        EXPECT_TRUE(error.description().contains(QStringLiteral("no/such/folder.txt")));
    }
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("no")));

    EXPECT_THROW(WriteUTF8Text(-1, QStringLiteral("x"), false), FileError);
    EXPECT_THROW(CloseFile(-1), FileError);

    const int file = OpenFileForAppend(dir / QStringLiteral("closed.txt"));
    CloseFile(file);
    // Another thread may have been handed the number meanwhile; writing there would harm it.
    if (::fcntl(file, F_GETFD) == -1) {
        EXPECT_THROW(WriteUTF8Text(file, QStringLiteral("x"), false), FileError);
        EXPECT_THROW(CloseFile(file), FileError);
    }
    EXPECT_EQ(QFileInfo(dir / QStringLiteral("closed.txt")).size(), 0);
}

} // namespace
