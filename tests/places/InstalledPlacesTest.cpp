// Run as a user other than root: root may write into a read-only program folder.
#include "app/Workspace.h"
#include "faults/FaultSupport.h"
#include "support/Fingerprint.h"
#include "util/ProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(InstalledPlaces, DataAndArchivesGoWhereTheProgramFolderAllows) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes anywhere; the test runner drops to another user";

    const struct {
        const char* what;
        bool readOnly;
        const char* documentsVariable; // in the scratch folder, or null to leave it unset
        const char* userDirsLine;      // a user-dirs.dirs setting, or null
        const char* data;              // the expected places, in the scratch folder
        const char* output;
    } placements[] = {
        {"writable: beside the program", false, nullptr, nullptr, "program", "program/output"},
        {"read-only: XDG_DOCUMENTS_DIR", true, "papers", nullptr, "data/ostrel", "papers/Ostrel"},
        {"read-only: user-dirs setting", true, nullptr, "XDG_DOCUMENTS_DIR=\"$HOME/Docs here\"\n",
         "data/ostrel", "home/Docs here/Ostrel"},
        {"read-only: nothing set", true, nullptr, nullptr, "data/ostrel", "home/Documents/Ostrel"},
    };
    for (const auto& p : placements) {
        SCOPED_TRACE(p.what);
        TempFolder dir;
        const QString program = dir / QStringLiteral("program");
        makeProgramFolder(program);
        ASSERT_TRUE(!p.readOnly || makeReadOnlyFolder(program));
        const QStringList shipped = fingerprint(program);
        if (p.userDirsLine)
            dir.write(QStringLiteral("config/user-dirs.dirs"), p.userDirsLine);
        dir.write(QStringLiteral("pages/index.html"), "#FRONT#");
        dir.write(QStringLiteral("pages/thanks.html"), "#BACK#");
        // For this process and, through the environment, for ostrel-build.
        qputenv("HOME", QFile::encodeName(dir / QStringLiteral("home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir / QStringLiteral("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir / QStringLiteral("config")));
        if (p.documentsVariable)
            qputenv("XDG_DOCUMENTS_DIR", QFile::encodeName(dir / p.documentsVariable));
        else
            qunsetenv("XDG_DOCUMENTS_DIR");

        // The window's places.
        const ProgramFolder placed = ProgramFolder::placedFor(program);
        EXPECT_EQ(placed.dataFolder(), dir / p.data);
        EXPECT_EQ(placed.outputFolder(), dir / p.output);
        const Workspace workspace(placed);
        EXPECT_EQ(workspace.ensureFolders(), QString());
        EXPECT_TRUE(workspace.copyIn(dir / QStringLiteral("pages")).ok());
        EXPECT_TRUE(QFile::exists(dir / p.data + QStringLiteral("/tmp/index.html")));

        // The command line's archive, without --output.
        const ProcessResult built = runProgram(
            program + QStringLiteral("/ostrel-build"),
            QStringLiteral("--pages|%1|--front|index.html|--download|thanks.html|--name|Guide|"
                           "--uri|https://example.org|--description|d|--version|1|--author|a|"
                           "--author-uri|https://example.org|--license||--id|guide")
                .arg(dir / QStringLiteral("pages"))
                .split(QLatin1Char('|')),
            dir.path());
        EXPECT_EQ(built.exitCode, 0) << built.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(built.out.trimmed()), dir / p.output + "/guide.zip");

        if (p.readOnly) {
            EXPECT_EQ(fingerprint(program), shipped);
            makeWritableFolder(program); // so the scratch folder can go
        }
    }
}

} // namespace
