#include "util/RecurseFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

class RecurseFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write(QStringLiteral("b.txt"), "b");
        dir.write(QStringLiteral("C.txt"), "c");
        dir.write(QStringLiteral(".hidden"), "h");
        dir.write(QStringLiteral("a2/x"), "x");
        dir.write(QStringLiteral("A/z.txt"), "z");
        dir.write(QStringLiteral("img.png"), "p");
        dir.write(QStringLiteral("img/logo.png"), "l");
        dir.write(QStringLiteral("sub/deeper/f"), "f");
        dir.write(QStringLiteral("sub/e"), "e");
        dir.makeFolder(QStringLiteral("empty/inner"));
        dir.write(QStringLiteral("caf\u00e9.txt"), "e");
    }

    QStringList list(const QString& path, const QString& base) {
        QStringList result;
        RecurseFiles(path, base, result);
        return result;
    }

    TempFolder dir;
    const QStringList expected{
        QStringLiteral(".hidden"),      QStringLiteral("A/z.txt"), QStringLiteral("a2/x"),
        QStringLiteral("b.txt"),        QStringLiteral("C.txt"),   QStringLiteral("caf\u00e9.txt"),
        QStringLiteral("img/logo.png"), QStringLiteral("img.png"), QStringLiteral("sub/deeper/f"),
        QStringLiteral("sub/e"),
    };
};

TEST_F(RecurseFilesTest, ListsEveryFileInWalkOrderRelativeToTheBase) {
    EXPECT_EQ(list(dir.path(), dir.path()), expected);
    EXPECT_EQ(list(dir.path() + '/', dir.path()), expected);
    EXPECT_EQ(list(dir.path(), dir.path() + '/'), expected);
    EXPECT_EQ(list(dir / QStringLiteral("sub"), dir.path()),
              (QStringList{QStringLiteral("sub/deeper/f"), QStringLiteral("sub/e")}));
    EXPECT_EQ(list(dir / QStringLiteral("sub/"), dir / QStringLiteral("sub")),
              (QStringList{QStringLiteral("deeper/f"), QStringLiteral("e")}));
    EXPECT_TRUE(list(dir / QStringLiteral("empty"), dir.path()).isEmpty());
    EXPECT_TRUE(list(dir / QStringLiteral("missing"), dir.path()).isEmpty());
}

TEST_F(RecurseFilesTest, AppendsToTheListWithoutClearingIt) {
    QStringList result{QStringLiteral("kept")};
    RecurseFiles(dir / QStringLiteral("sub"), dir / QStringLiteral("sub"), result);
    RecurseFiles(dir / QStringLiteral("sub"), dir / QStringLiteral("sub"), result);
    EXPECT_EQ(result,
              (QStringList{QStringLiteral("kept"), QStringLiteral("deeper/f"), QStringLiteral("e"),
                           QStringLiteral("deeper/f"), QStringLiteral("e")}));
}

TEST_F(RecurseFilesTest, LinksToFilesCountAndDanglingOnesDoNot) {
    dir.link(QStringLiteral("alias.txt"), dir / QStringLiteral("b.txt"));
    dir.link(QStringLiteral("dead.txt"), dir / QStringLiteral("nowhere.txt"));
    QStringList withAlias = expected;
    withAlias.insert(3, QStringLiteral("alias.txt")); // after "a2/x"
    EXPECT_EQ(list(dir.path(), dir.path()), withAlias);
}

TEST_F(RecurseFilesTest, LinkLoopsEndAndOtherFolderLinksAreFollowed) {
    TempFolder elsewhere;
    elsewhere.write(QStringLiteral("o.txt"), "o");
    dir.link(QStringLiteral("sub/up"), QStringLiteral(".."));
    dir.link(QStringLiteral("sub/self"), QStringLiteral("."));
    dir.link(QStringLiteral("sub/root"), QStringLiteral("/"));
    dir.link(QStringLiteral("zz/toY"), dir / QStringLiteral("yy"));
    dir.link(QStringLiteral("yy/toZ"), dir / QStringLiteral("zz"));
    dir.write(QStringLiteral("yy/y"), "y");
    dir.link(QStringLiteral("ext"), elsewhere.path());

    const QStringList result = list(dir.path(), dir.path());
    for (const QString& file : expected)
        EXPECT_EQ(result.count(file), 1) << file.toStdString();
    EXPECT_TRUE(result.contains(QStringLiteral("ext/o.txt")));
    EXPECT_TRUE(result.contains(QStringLiteral("yy/y")));
    EXPECT_TRUE(result.contains(QStringLiteral("zz/toY/y")));
    for (const QString& file : result)
        EXPECT_FALSE(file.startsWith(QStringLiteral("sub/up/")) ||
                     file.startsWith(QStringLiteral("sub/self/")) ||
                     file.startsWith(QStringLiteral("sub/root/")))
            << file.toStdString();
}

} // namespace
