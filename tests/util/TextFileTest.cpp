#include "util/TextFile.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(TextFile, LoadedAndSavedUnchangedComesBackByteForByte) {
    TempFolder dir;
    const QList<QByteArray> samples = {
        QByteArray(),
        QByteArray("plain ascii\r\nwith CR LF\nand LF"),
        QByteArray("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\xBF"), // valid UTF-8, 2 to 4 bytes
        QByteArray("\xEF\xBB\xBF"
                   "bom first"),                    // byte-order mark
        QByteArray("latin-1 caf\xE9 and \xFF\xFE"), // not UTF-8
        QByteArray("\xC3", 1),                      // cut sequence at the end
        QByteArray("\xED\xA0\x80 surrogate \xC0\xAF overlong \xF4\x90\x80\x80"), // forbidden forms
        QByteArray("nul\0inside", 10),
        QByteArray("\xFF\xFEh\0i\0", 6), // UTF-16 with BOM
    };
    for (const QByteArray& bytes : samples) {
        const QString path = dir.write(QStringLiteral("page.html"), bytes);
        const QString text = LoadTextFromFile(path);
        SaveTextToFile(text, path);
        EXPECT_EQ(readBytes(path), bytes) << bytes.toHex().constData();
    }
}

TEST(TextFile, RandomBytesSurviveDecodeAndEncode) {
    auto* random = QRandomGenerator::global();
    for (int round = 0; round < 500; ++round) {
        QByteArray bytes(int(random->bounded(64)), Qt::Uninitialized);
        for (char& b : bytes)
            b = char(random->bounded(256));
        ASSERT_EQ(encodeUtf8Lossless(decodeUtf8Lossless(bytes)), bytes)
            << bytes.toHex().constData();
    }
}

TEST(TextFile, DecodesValidUtf8AsText) {
    EXPECT_EQ(decodeUtf8Lossless("Z\xC3\xAB M\xC3\xBCller \xE2\x82\xAC"),
              QStringLiteral("Zë Müller €"));
    EXPECT_EQ(encodeUtf8Lossless(QStringLiteral("é")), QByteArray("\xC3\xA9"));
    // A lone surrogate that no byte stands for is written as the replacement character.
    EXPECT_EQ(encodeUtf8Lossless(QString(QChar(0xD800))), QByteArray("\xEF\xBF\xBD"));
}

TEST(TextFile, MissingOrUnreadableFileIsAnErrorNotAnEmptyText) {
    TempFolder dir;
    EXPECT_THROW(LoadTextFromFile(dir / QStringLiteral("missing.html")), FileError);
    EXPECT_THROW(LoadTextFromFile(dir.path()), FileError);
    try {
        LoadTextFromFile(dir / QStringLiteral("missing.html"));
    } catch (const FileError& error) {
        EXPECT_EQ(error.code(), ENOENT);
        EXPECT_TRUE(error.description().contains(QStringLiteral("missing.html")));
    }
}

TEST(TextFile, SaveReplacesTheFileAndKeepsItsPermissions) {
    TempFolder dir;
    const QString path = dir.write(QStringLiteral("page.html"), "a much longer old content");
    ::chmod(QFile::encodeName(path).constData(), 0640);
    SaveTextToFile(QStringLiteral("new"), path);
    EXPECT_EQ(readBytes(path), QByteArray("new"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Nothing is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("page.html")});
}

TEST(TextFile, SaveToAFolderOrAMissingFolderFailsAndWritesNothing) {
    TempFolder dir;
    EXPECT_THROW(SaveTextToFile(QStringLiteral("x"), dir.path()), FileError);
    EXPECT_THROW(SaveTextToFile(QStringLiteral("x"), dir / QStringLiteral("no/such/page.html")),
                 FileError);
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
}

} // namespace
