#include "Archiver.h"

#include "util/services/Launcher.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QString unusedPartName(const QString& archivePath) {
    const QFileInfo final(archivePath);
    for (;;) {
        const QString candidate =
            final.absolutePath() + QStringLiteral("/.") + final.fileName() +
            QStringLiteral(".%1.part")
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

QString lastLines(const QString& output, int count) {
    QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    return lines.mid(qMax(0, lines.size() - count)).join(QLatin1Char(' '));
}

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
                    const QString& archivePath) {
    const QString archiver = findArchiver();
    if (archiver.isEmpty())
        throw BuildError{ENOENT,
                         QStringLiteral("The archiver 7za was found neither in %1 nor on the "
                                        "search path.")
                             .arg(programFolder_)};

    const QString part = unusedPartName(archivePath);
    // The folder is named relative to its parent so the archive holds it at the top; no -r, and
    // "--" so that names starting with a dash stay names.
    const Launcher::Outcome outcome = launcher_.runAndWait(
        archiver,
        {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("--"), part, folderName},
        parentFolder);

    auto failWith = [&](int number, const QString& why) {
        QFile::remove(part);
        throw BuildError{number,
                         QStringLiteral("Packing %1 into %2 failed: %3")
                             .arg(parentFolder + QLatin1Char('/') + folderName, archivePath, why)};
    };
    if (!outcome.started)
        failWith(ENOENT,
                 QStringLiteral("%1 could not be started (%2).").arg(archiver, outcome.errorText));
    if (outcome.exitCode != 0 || !outcome.errorText.isEmpty())
        failWith(outcome.exitCode != 0 ? outcome.exitCode : EINTR,
                 QStringLiteral("7za ended with exit code %1. %2 %3")
                     .arg(outcome.exitCode)
                     .arg(outcome.errorText, lastLines(outcome.output, 3))
                     .trimmed());
    if (!QFileInfo(part).isFile())
        failWith(ENOENT, QStringLiteral("7za made no archive."));
    if (std::rename(QFile::encodeName(part).constData(),
                    QFile::encodeName(archivePath).constData()) != 0)
        failWith(errno, QString::fromLocal8Bit(std::strerror(errno)));
}
