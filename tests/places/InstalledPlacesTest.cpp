// Run as a user other than root: root may write into a read-only program folder.
#include "app/Workspace.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"
#include "util/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList filesUnder(const QString& folder) {
    QStringList files;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next().mid(folder.size() + 1);
    files.sort();
    return files;
}

// A copy of the built program: its own folder, the template beside it.
QString copyProgram(const TempFolder& dir) {
    const QString built =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../ostrel"));
    const QString program = dir / QStringLiteral("usr/lib/ostrel-copy");
    QDir().mkpath(program);
    for (QDirIterator it(built + QStringLiteral("/plugintemplatepro"), QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString file = it.next();
        writeBytes(program + file.mid(built.size()), readBytes(file));
    }
    QFile::copy(built + QStringLiteral("/ostrel-build"), program + QStringLiteral("/ostrel-build"));
    return program;
}

void setFolderModes(const QString& folder, mode_t mode) {
    for (QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext();)
        ::chmod(QFile::encodeName(it.next()).constData(), mode);
    ::chmod(QFile::encodeName(folder).constData(), mode);
}

struct Placement {
    const char* what;
    bool readOnly;
    QString documentsVariable; // relative to the scratch folder; empty leaves it unset
    QString userDirsLine;      // a user-dirs.dirs setting, or empty
    QString expectedData;      // relative to the scratch folder; "program" for beside it
    QString expectedOutput;
};

TEST(InstalledPlaces, DataAndArchivesGoWhereTheProgramFolderAllows) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes anywhere; the test runner drops to another user";

    const Placement placements[] = {
        {"writable: beside the program", false, {}, {}, "program", "program/output"},
        {"read-only: XDG_DOCUMENTS_DIR", true, "papers", {}, "data/ostrel", "papers/Ostrel"},
        {"read-only: user-dirs setting",
         true,
         {},
         "XDG_DOCUMENTS_DIR=\"$HOME/Docs here\"\n",
         "data/ostrel",
         "home/Docs here/Ostrel"},
        {"read-only: nothing set", true, {}, {}, "data/ostrel", "home/Documents/Ostrel"},
    };
    for (const Placement& p : placements) {
        SCOPED_TRACE(p.what);
        TempFolder dir;
        const QString program = copyProgram(dir);
        const QStringList shipped = filesUnder(program);
        if (p.readOnly)
            setFolderModes(program, 0555);
        auto in = [&](const QString& relative) {
            return relative == QLatin1String("program")             ? program
                   : relative.startsWith(QLatin1String("program/")) ? program + relative.mid(7)
                                                                    : dir / relative;
        };
        if (!p.userDirsLine.isEmpty())
            writeBytes(dir / QStringLiteral("config/user-dirs.dirs"), p.userDirsLine.toUtf8());
        dir.write(QStringLiteral("pages/index.html"), "#FRONT#");
        dir.write(QStringLiteral("pages/thanks.html"), "#BACK#");

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir / QStringLiteral("home"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir / QStringLiteral("data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir / QStringLiteral("config"));
        env.remove(QStringLiteral("XDG_DOCUMENTS_DIR"));
        if (!p.documentsVariable.isEmpty())
            env.insert(QStringLiteral("XDG_DOCUMENTS_DIR"), dir / p.documentsVariable);
        for (const QString& name :
             {QStringLiteral("HOME"), QStringLiteral("XDG_DATA_HOME"),
              QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("XDG_DOCUMENTS_DIR")})
            qputenv(name.toUtf8().constData(), env.value(name).toUtf8());
        if (!env.contains(QStringLiteral("XDG_DOCUMENTS_DIR")))
            qunsetenv("XDG_DOCUMENTS_DIR");

        // The window's places.
        const ProgramFolder placed = ProgramFolder::placedFor(program);
        EXPECT_EQ(placed.dataFolder(), in(p.expectedData));
        EXPECT_EQ(placed.outputFolder(), in(p.expectedOutput));
        const Workspace workspace(placed);
        EXPECT_EQ(workspace.ensureFolders(), QString());
        EXPECT_TRUE(workspace.copyIn(dir / QStringLiteral("pages")).ok());
        EXPECT_TRUE(QFile::exists(in(p.expectedData) + QStringLiteral("/tmp/index.html")));

        // The command line's archive, without --output.
        const ProcessResult built = runProgram(
            program + QStringLiteral("/ostrel-build"),
            QStringLiteral("--pages|%1|--front|index.html|--download|thanks.html|--name|Guide|"
                           "--uri|https://example.org|--description|d|--version|1|--author|a|"
                           "--author-uri|https://example.org|--license||--id|guide")
                .arg(dir / QStringLiteral("pages"))
                .split(QLatin1Char('|')),
            dir.path(), env);
        EXPECT_EQ(built.exitCode, 0) << built.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(built.out.trimmed()),
                  in(p.expectedOutput) + QStringLiteral("/guide.zip"));

        if (p.readOnly) {
            EXPECT_EQ(filesUnder(program), shipped);
            setFolderModes(program, 0755); // so the scratch folder can go
        }
    }
}

} // namespace
