#include "builder/DenyRules.h"
#include "support/TempFolder.h"

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

// The FilesMatch pattern as Apache reads it: the quoted argument, whose \" stands for ".
QRegularExpression apachePattern(const QByteArray& htaccess) {
    const qsizetype start = htaccess.indexOf("<FilesMatch \"") + 13;
    const qsizetype end = htaccess.indexOf("\">", start);
    QByteArray argument = htaccess.mid(start, end - start);
    argument.replace("\\\"", "\"");
    return QRegularExpression(QString::fromUtf8(argument));
}

QStringList hiddenSegments(const QByteArray& webConfig) {
    QStringList segments;
    QXmlStreamReader xml(webConfig);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("add"))
            segments += xml.attributes().value(QLatin1String("segment")).toString();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return segments;
}

TEST(DenyRules, RefuseExactlyTheNamedFilesWhateverTheirNamesHold) {
    const QStringList names{
        "guide.pdf",     "Bonus Pack (2).ZIP", "Zo\u00eb's \"best\" & <new>.pdf",
        "a+b[1]{2}$^.*", "back\\slash|pipe",   "100%.txt"};
    const DenyRules rules = DenyRulesFor(names);

    const QRegularExpression pattern = apachePattern(rules.htaccess);
    ASSERT_TRUE(pattern.isValid()) << pattern.errorString().toStdString();
    for (const QString& name : names)
        EXPECT_TRUE(pattern.match(name).hasMatch()) << name.toStdString();
    for (const char* other : {"guideXpdf", "guide.pdf.bak", "my-guide.pdf", "Bonus Pack (2)",
                              "ab[1]{2}", "index.html", "style.css", "back"})
        EXPECT_FALSE(pattern.match(QString::fromUtf8(other)).hasMatch()) << other;
    EXPECT_TRUE(rules.htaccess.contains("Require all denied"));
    EXPECT_TRUE(rules.htaccess.contains("Deny from all"));

    EXPECT_EQ(hiddenSegments(rules.webConfig), names);
}

TEST(DenyRules, GoIntoEachFolderHoldingAFileKeepingTheSitesOwnRules) {
    TempFolder plugin;
    plugin.write("files/guide.pdf");
    plugin.write("files/bonus.zip");
    plugin.write("extra/deep/notes.txt");
    plugin.write("extra/deep/.htaccess", "Options -Indexes");
    plugin.write("extra/deep/web.config", "<configuration/>");
    plugin.write("top.pdf");

    WriteDenyRules(plugin.path(), {"files/guide.pdf", "files/bonus.zip", "extra/deep/notes.txt",
                                   "top.pdf", "../outside.pdf", "missing/gone.pdf"});

    EXPECT_EQ(readBytes(plugin / "files/.htaccess"),
              DenyRulesFor({"guide.pdf", "bonus.zip"}).htaccess);
    EXPECT_EQ(readBytes(plugin / "files/web.config"),
              DenyRulesFor({"guide.pdf", "bonus.zip"}).webConfig);
    EXPECT_EQ(readBytes(plugin / ".htaccess"), DenyRulesFor({"top.pdf"}).htaccess);
    EXPECT_EQ(readBytes(plugin / "extra/deep/.htaccess"),
              "Options -Indexes\n" + DenyRulesFor({"notes.txt"}).htaccess);
    EXPECT_EQ(readBytes(plugin / "extra/deep/web.config"), "<configuration/>");
    EXPECT_FALSE(QFile::exists(plugin / "extra/.htaccess"));
    EXPECT_FALSE(QFile::exists(plugin / "missing"));
    EXPECT_FALSE(QFile::exists(plugin / "../.htaccess"));
}

} // namespace
