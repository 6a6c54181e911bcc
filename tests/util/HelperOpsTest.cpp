#include "util/HelperOps.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <set>

namespace {

TEST(HelperOps, PathExistsTellsFoldersFromFiles) {
    TempFolder dir;
    const QString file = dir.write(QStringLiteral("a.html"));
    EXPECT_TRUE(PathExists(dir.path(), true));
    EXPECT_FALSE(PathExists(dir.path(), false));
    EXPECT_TRUE(PathExists(file, false));
    EXPECT_FALSE(PathExists(file, true));
    EXPECT_FALSE(PathExists(dir / QStringLiteral("missing"), true));
    EXPECT_FALSE(PathExists(QString(), true));
}

TEST(HelperOps, RandomNumberCoversTheWholeRangeAndNothingElse) {
    std::set<int> seen;
    for (int i = 0; i < 20000; ++i) {
        const int n = RandomNumber(9);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 9);
        seen.insert(n);
    }
    EXPECT_EQ(seen.size(), 10u); // both ends included
}

TEST(HelperOps, ReplaceTextReplacesEveryExactOccurrence) {
    EXPECT_EQ(ReplaceText(QStringLiteral("#FRONT# a #front# #FRONT#"), QStringLiteral("#FRONT#"),
                          QStringLiteral("x")),
              QStringLiteral("x a #front# x"));
    EXPECT_EQ(ReplaceText(QStringLiteral("abc"), QString(), QStringLiteral("x")),
              QStringLiteral("abc"));
    EXPECT_EQ(ReplaceText(QStringLiteral("aaa"), QStringLiteral("a"), QStringLiteral("aa")),
              QStringLiteral("aaaaaa"));
}

} // namespace
