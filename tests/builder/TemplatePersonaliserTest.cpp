#include "builder/TemplatePersonaliser.h"
#include "builder/PluginHeader.h"
#include "support/TempFolder.h"
#include "support/TestTemplate.h"
#include "util/FileError.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

PluginDetails sampleDetails() {
    return {QStringLiteral("Herb Guide"),
            QStringLiteral("https://example.org/herbs"),
            QStringLiteral("Grow herbs, caf\u00e9 style"),
            QStringLiteral("1.2"),
            QStringLiteral("Ann Author"),
            QStringLiteral("https://example.org"),
            QStringLiteral("GPL2")};
}

TEST(PluginHeader, OneLineAFieldJoinedByLineFeedsWithTheValuesAsTyped) {
    EXPECT_EQ(BuildPluginHeader(sampleDetails(), QStringLiteral("p42")),
              QStringLiteral("<?php\n/*\nPlugin Name: Herb Guide\n"
                             "Plugin URI: https://example.org/herbs\n"
                             "Description: Grow herbs, caf\u00e9 style\nVersion: 1.2\n"
                             "Requires at least: 6.1\nRequires PHP: 7.4\n"
                             "Author: Ann Author\nAuthor URI: https://example.org\n"
                             "License: GPL2\nText Domain: p42\n*/\n?>"));

    PluginDetails odd = sampleDetails();
    odd.license.clear();
    odd.name = QStringLiteral(" spaced  name ");
    const QStringList lines = BuildPluginHeader(odd, QStringLiteral("p42")).split(u'\n');
    ASSERT_EQ(lines.size(), 14);
    EXPECT_EQ(lines.at(2), QStringLiteral("Plugin Name:  spaced  name "));
    EXPECT_EQ(lines.at(10), QStringLiteral("License: "));
    EXPECT_EQ(lines.last(), QStringLiteral("?>"));
}

TEST(PersonaliseTemplateText, ALineBreakInADetailCannotStartAHeaderLine) {
    const QString typed = QStringLiteral("Line one.\nVersion: 9.9\r\nx\ry\n\r");
    const QString oneLine = QStringLiteral("Line one. Version: 9.9 x y  ");
    const PluginDetails details{typed, typed, typed, typed, typed, typed, typed};
    const QStringList lines = PersonaliseTemplateText(QStringLiteral("#header#\n'#menuname#'"),
                                                      QStringLiteral("p"), &details)
                                  .split(u'\n');
    ASSERT_EQ(lines.size(), 15);
    for (qsizetype i : {2, 3, 4, 5, 8, 9, 10})
        EXPECT_TRUE(lines.at(i).endsWith(": " + oneLine)) << lines.at(i).toStdString();
    EXPECT_EQ(lines.last(), '\'' + oneLine + '\'');
}

TEST(PersonaliseTemplateText, FillsTheIdentifierEverywhereAndTheHeaderOnlyWithDetails) {
    const QString text = QStringLiteral("#header#\r\n<?php $id = '#prefix#'; $m = '#menuname#'; "
                                        "// #prefix#");
    const PluginDetails details = sampleDetails();
    EXPECT_EQ(PersonaliseTemplateText(text, QStringLiteral("p42"), nullptr),
              QStringLiteral("#header#\n<?php $id = 'p42'; $m = '#menuname#'; // p42"));
    EXPECT_EQ(PersonaliseTemplateText(text, QStringLiteral("p42"), &details),
              BuildPluginHeader(details, QStringLiteral("p42")) +
                  QStringLiteral("<?php $id = 'p42'; $m = 'Herb Guide'; // p42"));
}

TEST(PersonaliseTemplateText, PlaceholdersTypedIntoTheDetails) {
    PluginDetails details = sampleDetails();
    details.description = QStringLiteral("uses #prefix# and #menuname#");
    const QString result =
        PersonaliseTemplateText(QStringLiteral("#header#"), QStringLiteral("p42"), &details);
    // The identifier went in before the header did; the menu name went in after it.
    EXPECT_TRUE(result.contains(QStringLiteral("Description: uses #prefix# and Herb Guide\n")))
        << result.toStdString();
}

// PHP files end up with one line ending, LF, whatever the template was saved with.
TEST(PersonaliseTemplateText, DropsOnlyTheCrLfRightAfterAClosingTagAndEndsLinesWithLf) {
    EXPECT_EQ(PersonaliseTemplateText(QStringLiteral("a ?>\r\nb ?>\nc ?> \r\nd ?>\r\n\r\ne\rf"),
                                      QStringLiteral("p"), nullptr),
              QStringLiteral("a ?>b ?>\nc ?> \nd ?>\ne\nf"));
}

class PersonaliseTemplateFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeTemplate(dir.path(), {.plugin = "#header#\r\n<?php // #menuname# #prefix# caf\xE9",
                                   .page = "<?php $f = '#prefix#'; ?>\r\n#header##menuname#",
                                   .cpt = "#prefix#",
                                   .loader = "x#prefix#x",
                                   .thanks = "<?php // #prefix#"});
    }

    void personaliseAll() {
        for (const TemplateFile& file : PersonalisedTemplateFiles())
            PersonaliseTemplateFile(dir.path(), file, QStringLiteral("p42"), details);
    }

    TempFolder dir;
    PluginDetails details = sampleDetails();
};

TEST_F(PersonaliseTemplateFileTest, FourFilesAreRequiredAndTheRestOptional) {
    QStringList required, optional;
    for (const TemplateFile& file : PersonalisedTemplateFiles())
        (file.required ? required : optional) << file.relativePath;
    required.sort();
    EXPECT_EQ(required, (QStringList{QStringLiteral("modules/cpt.php"),
                                     QStringLiteral("modules/cpt_template_loader.php"),
                                     QStringLiteral("modules/template/template.php"),
                                     QStringLiteral("plugin.php")}));
    optional.sort();
    EXPECT_EQ(
        optional,
        (QStringList{
            QStringLiteral("modules/admin.php"), QStringLiteral("modules/buyers.php"),
            QStringLiteral("modules/delivery_links.php"), QStringLiteral("modules/grants.php"),
            QStringLiteral("modules/lemonsqueezy.php"), QStringLiteral("modules/paypal.php"),
            QStringLiteral("modules/protection_check.php"), QStringLiteral("modules/store.php"),
            QStringLiteral("modules/stripe.php"), QStringLiteral("modules/template/thanks.php"),
            QStringLiteral("readme.txt"), QStringLiteral("uninstall.php")}));
}

TEST_F(PersonaliseTemplateFileTest, PersonalisesEachFileInPlace) {
    dir.write(QStringLiteral("readme.txt"), "=== #name# ===\nStable tag: #version#\nLicense: "
                                            "#license#\n\n#description#\n#prefix#");
    dir.write(QStringLiteral("modules/admin.php"), "<?php __( 'x', '#prefix#' ); // #name#");
    personaliseAll();
    EXPECT_EQ(readBytes(dir / QStringLiteral("readme.txt")),
              QByteArray("=== Herb Guide ===\nStable tag: 1.2\nLicense: GPL2\n\nGrow herbs, "
                         "caf\xC3\xA9 style\np42"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("modules/admin.php")),
              QByteArray("<?php __( 'x', 'p42' ); // #name#"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("plugin.php")),
              BuildPluginHeader(details, QStringLiteral("p42")).toUtf8() +
                  "<?php // Herb Guide p42 caf\xE9");
    // Only plugin.php takes the header and the menu name.
    EXPECT_EQ(readBytes(dir / QStringLiteral("modules/template/template.php")),
              QByteArray("<?php $f = 'p42'; ?>#header##menuname#"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("modules/template/thanks.php")),
              QByteArray("<?php // p42"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("modules/cpt.php")), QByteArray("p42"));
    EXPECT_EQ(readBytes(dir / QStringLiteral("modules/cpt_template_loader.php")),
              QByteArray("xp42x"));
}

TEST_F(PersonaliseTemplateFileTest, MissingThanksIsSkippedAndAMissingRequiredFileIsAnError) {
    QFile::remove(dir / QStringLiteral("modules/template/thanks.php"));
    EXPECT_NO_THROW(personaliseAll());
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("modules/template/thanks.php")));

    QFile::remove(dir / QStringLiteral("modules/cpt.php"));
    try {
        personaliseAll();
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("modules/cpt.php")))
            << error.description().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dir / QStringLiteral("modules/cpt.php")));
}

} // namespace
