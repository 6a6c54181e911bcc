#include "util/PageListing.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(PageListing, ListsTopLevelPagesByNameIgnoringLetterCase) {
    TempFolder dir;
    for (const char* name : {"c.htm", "B.HTML", "a.html", "Index.Htm", "notes.txt", "page.html5",
                             "page.html.bak", ".hidden.html", "sub/deep.html"})
        dir.write(QString::fromUtf8(name));
    dir.makeFolder(QStringLiteral("folder.html"));
    dir.link(QStringLiteral("linked.html"), dir / QStringLiteral("a.html"));
    dir.link(QStringLiteral("dangling.html"), dir / QStringLiteral("nowhere.html"));

    EXPECT_EQ(ListPages(dir.path()),
              (QStringList{QStringLiteral(".hidden.html"), QStringLiteral("a.html"),
                           QStringLiteral("B.HTML"), QStringLiteral("c.htm"),
                           QStringLiteral("Index.Htm"), QStringLiteral("linked.html")}));
}

TEST(PageListing, FolderWithoutPagesOrNoFolderHasNone) {
    TempFolder dir;
    dir.write(QStringLiteral("only/in/sub.htm"));
    EXPECT_TRUE(ListPages(dir.path()).isEmpty());
    EXPECT_TRUE(ListPages(dir / QStringLiteral("missing")).isEmpty());
    EXPECT_TRUE(ListPages(dir.write(QStringLiteral("file.html"))).isEmpty());
}

} // namespace
