#include "Archiver.h"

#include "StoredTypes.h"
#include "util/FsPath.h"
#include "util/Progress.h"
#include "util/TextFile.h"
#include "util/services/Launcher.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A short name, so that no archive name can make it too long for the file system.
QString unusedPartName(const fs::path& folder) {
    for (;;) {
        const QString candidate =
            QStringLiteral(".archive.%1.part")
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(folder / toFsPath(candidate), ec)))
            return candidate;
    }
}

// Also the copy that 7za keeps while it updates an archive (name.tmp), left behind when it dies.
void removePartFiles(const fs::path& folder, const QString& partName) {
    const std::string part = toFsPath(partName).native();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().native();
        if (name == part || name.starts_with(part + ".tmp")) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

// Two runs into one archive: the first deflates all but the stored types, at 7za's fast level
// (-mx3: a fraction of the default's time, at about 4 % more for those files), the second adds
// the stored types with -mx0. The deflated files go first because every run copies the archive it
// updates, and they are the smaller part. Both runs match the same patterns with -ssc- (any case);
// "m" makes a pattern match files only, so a folder named like "photos.zip" is never left out. No
// file name reaches 7za, so none can be taken for a switch or a wildcard.
QList<QStringList> packingRuns(const QString& partName, const QString& folderName) {
    QStringList deflate{QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mx3"),
                        QStringLiteral("-ssc-")};
    QStringList store{QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mx0"),
                      QStringLiteral("-ssc-")};
    for (const char* extension : kStoredExtensions) {
        deflate << QStringLiteral("-xrm!*.") + QLatin1String(extension);
        store << QStringLiteral("-irm!%1/*.%2").arg(folderName, QLatin1String(extension));
    }
    // The folder is named relative to the parent, so the archive holds it at its top; no -r,
    // which would also look for that name in subfolders, and "--" before the names.
    deflate << QStringLiteral("--") << partName << folderName;
    store << QStringLiteral("--") << partName;
    return {deflate, store};
}

// 7za's progress ("  42% 3 + name") is drawn over itself with backspaces; it is no part of
// what went wrong.
QString lastLines(const QString& output, int count) {
    static const QRegularExpression drawnProgress(QStringLiteral("^\\d+%"));
    QStringList lines = QString(output)
                            .replace(QLatin1Char('\b'), QLatin1Char('\n'))
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    lines.removeIf([](const QString& line) { return drawnProgress.match(line).hasMatch(); });
    return lines.mid(qMax(0, lines.size() - count)).join(QLatin1Char(' '));
}

// The launcher hands the working folder to the system through an encoding that changes bytes
// that are not UTF-8; such a folder is given as this process's descriptor of it instead, which
// the archiver enters all the same.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString& folder) : name_(folder) {
        const QByteArray bytes = encodeUtf8Lossless(folder);
        if (QFile::encodeName(folder) == bytes)
            return;
        fd_ = ::open(bytes.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0)
            name_ = QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(fd_);
    }
    ~WorkingFolder() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    const QString& name() const { return name_; }

private:
    QString name_;
    int fd_ = -1;
};

// Follows 7za's percentages (-bsp1) across the runs; a number may come split over two pieces.
class PackingProgress {
public:
    PackingProgress(Progress& progress, int runs) : progress_(progress), runs_(runs) {}

    void startRun(int run) {
        run_ = run;
        tail_.clear();
        report(0);
    }
    void printed(const QString& piece) {
        static const QRegularExpression percent(QStringLiteral("(\\d{1,3})%"));
        tail_ = (tail_ + piece).right(64);
        int last = -1;
        for (const QRegularExpressionMatch& m : percent.globalMatch(tail_))
            last = m.captured(1).toInt();
        if (last >= 0 && last <= 100)
            report(last);
    }

private:
    void report(int percent) {
        progress_.step(QStringLiteral("Packing the plugin..."), qint64(run_) * 100 + percent,
                       qint64(runs_) * 100);
    }

    Progress& progress_;
    int runs_;
    int run_ = 0;
    QString tail_;
};

} // namespace

Archiver::Archiver(Launcher& launcher, QString programFolder)
    : launcher_(launcher), programFolder_(std::move(programFolder)) {}

QString Archiver::findArchiver() const {
    const QFileInfo beside(programFolder_ + QStringLiteral("/7za"));
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("7za"));
}

void Archiver::pack(const QString& parentFolder, const QString& folderName,
                    const QString& archivePath, Progress* progress) {
    const QString archiver = findArchiver();
    if (archiver.isEmpty())
        throw BuildError{ENOENT,
                         QStringLiteral("The archiver 7za was found neither in %1 nor on the "
                                        "search path.")
                             .arg(programFolder_)};

    const fs::path parent = toFsPath(parentFolder);
    const QString partName = unusedPartName(parent);
    const fs::path part = parent / toFsPath(partName);
    auto failWith = [&](int number, const QString& why) {
        removePartFiles(parent, partName);
        throw BuildError{number,
                         QStringLiteral("Packing %1 into %2 failed: %3")
                             .arg(parentFolder + QLatin1Char('/') + folderName, archivePath, why)};
    };
    const WorkingFolder workingFolder(parentFolder);
    const QList<QStringList> runs = packingRuns(partName, folderName);
    std::optional<PackingProgress> packing;
    Launcher::Watch watch;
    if (progress) {
        packing.emplace(*progress, int(runs.size()));
        watch.output = [&](const QString& printed) { packing->printed(printed); };
        watch.stop = [progress] { return progress->cancelled(); };
    }
    for (int run = 0; run < runs.size(); ++run) {
        QStringList arguments = runs[run];
        if (packing) {
            packing->startRun(run);
            arguments.insert(1, QStringLiteral("-bsp1")); // percentages on the output
        }
        const Launcher::Outcome outcome =
            launcher_.runAndWait(archiver, arguments, workingFolder.name(), watch);
        if (outcome.stopped || (progress && progress->cancelled())) {
            removePartFiles(parent, partName);
            throw Cancelled{};
        }
        if (!outcome.started)
            failWith(
                ENOENT,
                QStringLiteral("%1 could not be started (%2).").arg(archiver, outcome.errorText));
        if (outcome.exitCode != 0 || !outcome.errorText.isEmpty())
            failWith(outcome.exitCode != 0 ? outcome.exitCode : EINTR,
                     QStringLiteral("7za ended with exit code %1. %2 %3")
                         .arg(outcome.exitCode)
                         .arg(outcome.errorText, lastLines(outcome.output, 3))
                         .trimmed());
        std::error_code ec;
        if (!fs::is_regular_file(fs::symlink_status(part, ec)))
            failWith(ENOENT, QStringLiteral("7za made no archive."));
    }
    if (std::rename(part.c_str(), toFsPath(archivePath).c_str()) != 0) {
        const int error = errno;
        failWith(error, QString::fromLocal8Bit(std::strerror(error)));
    }
}
