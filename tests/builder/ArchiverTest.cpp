#include "builder/Archiver.h"
#include "fakes/FakeLauncher.h"
#include "support/ArchiveTools.h"
#include "support/Fingerprint.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

const QString kStore = QStringLiteral("Store");
const QString kDeflate = QStringLiteral("Deflate");

// Text deflates well, so a stored entry shows that its type decided, not 7za's fallback for
// data that does not shrink.
QByteArray textFor(const QString& path) {
    return (path.toUtf8() + " grows fresh basil on the balcony every day.\n").repeated(200);
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(Archiver, StoresCompressedTypesAndDeflatesTheRest) {
    // Each site: path in the packed folder -> method; a folder's path ends in '/'.
    const QList<QList<QPair<QString, QString>>> sites{
        {{"photo.JPG", kStore},
         {"clip.mp4", kStore},
         {"book.pdf", kDeflate},
         {"page.html", kDeflate},
         {"style.css", kDeflate},
         {"-cover.jpeg", kStore},
         {"weird[1]*.png", kStore},
         {"weird[1]*?.html", kDeflate},
         {"media/deep/Track 1.Mp3", kStore},
         {"media/deep/lyrics of track 1.txt", kDeflate},
         {"bonus.zip/inside.html", kDeflate}, // a folder named like a stored type
         {"empty/", kStore}},
        {{"a.png", kStore}, {"b/c.docx", kStore}, {"b/empty/", kStore}},
        {{"index.html", kDeflate}, {"empty/", kStore}},
    };
    for (const auto& site : sites) {
        SCOPED_TRACE(site.first().first.toStdString());
        TempFolder dir;
        QMap<QString, QString> expected{{QStringLiteral("pid1"), kStore}};
        for (const auto& [path, method] : site) {
            const QString inStaging = QStringLiteral("staging/pid1/") + path;
            if (path.endsWith('/'))
                dir.makeFolder(inStaging);
            else
                dir.write(inStaging, textFor(path));
            QString entry = QStringLiteral("pid1/") + path;
            if (entry.endsWith('/'))
                entry.chop(1);
            expected.insert(entry, method);
            while (entry.count('/') > 1)
                expected.insert(entry = entry.section('/', 0, -2), kStore);
        }
        const QString archive = dir / QStringLiteral("out.zip");
        FakeLauncher launcher;
        Archiver(launcher, dir.makeFolder(QStringLiteral("program")))
            .pack(dir / QStringLiteral("staging"), QStringLiteral("pid1"), archive);

        EXPECT_EQ(archiveMethods(archive), expected);
        EXPECT_EQ(topFolders(archiveEntries(archive)), QStringList{QStringLiteral("pid1")});
        EXPECT_EQ(entriesOf(dir / QStringLiteral("staging")), QStringList{QStringLiteral("pid1")});
        TempFolder unpacked;
        ASSERT_TRUE(extractArchive(archive, unpacked.path()));
        EXPECT_EQ(filesUnder(QFile::encodeName(unpacked / QStringLiteral("pid1"))),
                  filesUnder(QFile::encodeName(dir / QStringLiteral("staging/pid1"))));
    }
}

TEST(Archiver, AFailedRunLeavesNothingBehindAndKeepsTheOldArchive) {
    using Outcome = Launcher::Outcome;
    struct Case {
        int failingRun; // the runs before it go to the real 7za
        Outcome outcome;
        bool setsTheArchiveAside; // as 7za does while it updates one
        int number;
    };
    const QList<Case> cases{
        {1, {true, 2, {}, QStringLiteral("ERROR: disk full")}, false, 2},
        {2, {true, 0, QStringLiteral("stopped abnormally"), {}}, true, EINTR},
        {2, {true, 1, {}, QStringLiteral("WARNING: cannot open clip.mp4")}, false, 1},
    };
    for (const Case& c : cases) {
        const QString why = c.outcome.errorText + c.outcome.output;
        SCOPED_TRACE(why.toStdString());
        TempFolder dir;
        dir.write(QStringLiteral("staging/pid1/page.html"), textFor(QStringLiteral("page")));
        dir.write(QStringLiteral("staging/pid1/clip.mp4"), textFor(QStringLiteral("clip")));
        const QString archive = dir.write(QStringLiteral("out.zip"), "an older archive");
        FakeLauncher launcher;
        launcher.scripted = [&](const FakeLauncher::Run& run) {
            if (launcher.runs.size() < c.failingRun)
                return QtLauncher().runAndWait(run.program, run.arguments, run.workingFolder);
            const QString part =
                run.workingFolder + '/' +
                run.arguments.value(run.arguments.indexOf(QStringLiteral("--")) + 1);
            if (c.setsTheArchiveAside)
                QFile::rename(part, part + QStringLiteral(".tmp"));
            writeBytes(part, "PK\3\4 half");
            return c.outcome;
        };
        try {
            Archiver(launcher, dir.makeFolder(QStringLiteral("program")))
                .pack(dir / QStringLiteral("staging"), QStringLiteral("pid1"), archive);
            ADD_FAILURE() << "packing did not fail";
        } catch (const BuildError& error) {
            EXPECT_EQ(error.number, c.number);
            EXPECT_TRUE(error.description.contains(why)) << error.description.toStdString();
        }
        EXPECT_EQ(launcher.runs.size(), c.failingRun);
        EXPECT_EQ(entriesOf(dir / QStringLiteral("staging")), QStringList{QStringLiteral("pid1")});
        EXPECT_EQ(readBytes(archive), QByteArray("an older archive"));
    }
}

} // namespace
