#include "builder/BuildRequest.h"

#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

const QString kAllRequired = QStringLiteral("All the fields are required.");

PluginDetails validDetails() {
    return {QStringLiteral("Herb Guide"),
            QStringLiteral("https://example.org/herbs"),
            QStringLiteral("Grow herbs"),
            QStringLiteral("1.0"),
            QStringLiteral("Ann"),
            QStringLiteral("https://example.org"),
            QString()};
}

QString problemWith(QString PluginDetails::*member, const QString& value,
                    const QString& prefix = QStringLiteral("p123")) {
    PluginDetails details = validDetails();
    details.*member = value;
    return FindRequestProblem(details, prefix);
}

const QList<QString PluginDetails::*> kRequiredMembers{
    &PluginDetails::name,    &PluginDetails::author,      &PluginDetails::authorUri,
    &PluginDetails::version, &PluginDetails::description, &PluginDetails::uri};

TEST(FindRequestProblem, EveryFieldButTheLicenceIsRequired) {
    EXPECT_EQ(FindRequestProblem(validDetails(), QStringLiteral("p123")), QString());
    for (auto member : kRequiredMembers) {
        EXPECT_EQ(problemWith(member, QString()), kAllRequired);
        // The check wins over a bad identifier.
        EXPECT_EQ(problemWith(member, QString(), QStringLiteral("../x")), kAllRequired);
    }
    // A blank is something; only the plugin name and the addresses need more (see below).
    for (auto member : kRequiredMembers) {
        if (member == &PluginDetails::name || member == &PluginDetails::uri ||
            member == &PluginDetails::authorUri)
            continue;
        EXPECT_EQ(problemWith(member, QStringLiteral(" ")), QString());
    }
    EXPECT_EQ(problemWith(&PluginDetails::license, QString()), QString());
}

TEST(FindRequestProblem, IdentifierIsAShortSafeFolderName) {
    const QStringList good{QStringLiteral("a"), QStringLiteral("7"), QStringLiteral("p48217"),
                           QStringLiteral("My_plugin-2"), QString(20, QLatin1Char('x'))};
    for (const QString& id : good)
        EXPECT_EQ(FindRequestProblem(validDetails(), id), QString()) << id.toStdString();
    const QStringList bad{QString(),
                          QStringLiteral("../x"),
                          QStringLiteral("a/b"),
                          QStringLiteral("a\\b"),
                          QStringLiteral("-x"),
                          QStringLiteral("_x"),
                          QStringLiteral("."),
                          QStringLiteral(".."),
                          QString(21, QLatin1Char('x')),
                          QStringLiteral("p 1"),
                          QStringLiteral(" p1"),
                          QStringLiteral("p1\n"),
                          QStringLiteral("caf\u00e9"),
                          QStringLiteral("p\u0661")};
    for (const QString& id : bad) {
        const QString problem = FindRequestProblem(validDetails(), id);
        EXPECT_TRUE(problem.contains(QStringLiteral("unique identifier"))) << id.toStdString();
    }
}

TEST(FindRequestProblem, PluginNameMustGiveAUsableArchiveName) {
    const QStringList bad{QStringLiteral(" "),    QStringLiteral("   "),  QStringLiteral("."),
                          QStringLiteral(" . "),  QStringLiteral(". ."),  QStringLiteral(".."),
                          QStringLiteral("a/b"),  QStringLiteral("a\\b"), QStringLiteral("a:b"),
                          QStringLiteral("a*b"),  QStringLiteral("a?b"),  QStringLiteral("a\"b"),
                          QStringLiteral("a<b"),  QStringLiteral("a>b"),  QStringLiteral("a|b"),
                          QStringLiteral("a\tb"), QStringLiteral("a\nb"), QStringLiteral("a\x01")};
    for (const QString& name : bad) {
        const QString problem = problemWith(&PluginDetails::name, name);
        EXPECT_TRUE(problem.contains(QStringLiteral("plugin name"))) << name.toStdString();
        EXPECT_TRUE(problem.contains(name)) << problem.toStdString();
    }
    for (const QString& name :
         {QStringLiteral("..."), QStringLiteral("Gu\u00eda 2.0"), QStringLiteral("a-b_c (d)")})
        EXPECT_EQ(problemWith(&PluginDetails::name, name), QString()) << name.toStdString();
}

TEST(FindRequestProblem, CommentEndInAnyHeaderFieldIsRefusedByName) {
    const QList<QPair<QString PluginDetails::*, QString>> fields{
        {&PluginDetails::name, QStringLiteral("Plugin Name")},
        {&PluginDetails::uri, QStringLiteral("Plugin URI")},
        {&PluginDetails::description, QStringLiteral("Description")},
        {&PluginDetails::version, QStringLiteral("Version")},
        {&PluginDetails::author, QStringLiteral("Author")},
        {&PluginDetails::authorUri, QStringLiteral("Author Url")},
        {&PluginDetails::license, QStringLiteral("License")}};
    for (const auto& [member, label] : fields) {
        const bool address = member == &PluginDetails::uri || member == &PluginDetails::authorUri;
        const QString problem =
            problemWith(member, address ? QStringLiteral("https://example.com/x*/y")
                                        : QStringLiteral("x */ y"));
        EXPECT_TRUE(problem.contains(label, Qt::CaseInsensitive)) << problem.toStdString();
        // The name's own check refuses "*" and "/" before this one is reached.
        if (member == &PluginDetails::name)
            continue;
        EXPECT_TRUE(problem.contains(QStringLiteral("\"*/\""))) << label.toStdString();
        EXPECT_TRUE(problem.startsWith(QStringLiteral("The ") + label + QStringLiteral(" field")))
            << problem.toStdString();
    }
    EXPECT_EQ(problemWith(&PluginDetails::description, QStringLiteral("a * / b /* c")), QString());
}

TEST(ArchiveName, BlanksRemovedAndLowerCase) {
    EXPECT_EQ(ArchiveBaseName(QStringLiteral("The Big  Guide")), QStringLiteral("thebigguide"));
    EXPECT_EQ(ArchiveBaseName(QStringLiteral(" \u00dcber Plugin ")),
              QStringLiteral("\u00fcberplugin"));
    BuildRequest request;
    request.outputFolder = QStringLiteral("/tmp/out");
    request.details.name = QStringLiteral("My Plugin");
    request.pluginPrefix = QStringLiteral("p1");
    EXPECT_EQ(ArchivePath(request), QStringLiteral("/tmp/out/myplugin.zip"));
}

TEST(ArchiveName, MustFitTheFileNameLimitOf255Bytes) {
    const QString e = QStringLiteral("\u00e9"), face = QStringLiteral("\U0001F600");
    // Blanks do not count: the archive's name drops them.
    for (const QString& fits : {QString(251, 'x'), QStringLiteral("x ").repeated(251),
                                e.repeated(125) + 'x', face.repeated(62) + "xyz"})
        EXPECT_EQ(problemWith(&PluginDetails::name, fits), QString());
    for (const QString& tooLong : {QString(252, 'x'), e.repeated(126), face.repeated(63)})
        EXPECT_TRUE(problemWith(&PluginDetails::name, tooLong).contains("too long"));
}

} // namespace

TEST(FindRequestProblem, AddressesAreWebAddressesNamedByTheirField) {
    const QStringList refused{
        QStringLiteral("Enter Your Url ..."), QStringLiteral(" "),
        QStringLiteral("www.example.com"),    QStringLiteral("javascript:alert(1)"),
        QStringLiteral("ftp://example.com/"), QStringLiteral("http://"),
        QStringLiteral("https:///path"),      QStringLiteral("mailto:me@example.com")};
    const QStringList accepted{QStringLiteral("http://example.com"),
                               QStringLiteral("https://www.example.com/my-plugin?x=1#top"),
                               QStringLiteral("HTTPS://EXAMPLE.COM/")};
    for (const auto& [member, label] :
         {std::pair{&PluginDetails::uri, QStringLiteral("Plugin URI")},
          std::pair{&PluginDetails::authorUri, QStringLiteral("Author Url")}}) {
        for (const QString& address : refused)
            EXPECT_TRUE(problemWith(member, address)
                            .startsWith(QStringLiteral("The ") + label +
                                        QStringLiteral(" must be a web address")))
                << address.toStdString();
        for (const QString& address : accepted)
            EXPECT_EQ(problemWith(member, address), QString()) << address.toStdString();
    }
}
