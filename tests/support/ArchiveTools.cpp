#include "ArchiveTools.h"
#include "RunProgram.h"

#include "util/TextFile.h"

#include <QDir>

QByteArray archiveListing(const QString& archive, bool* ok) {
    const ProcessResult listed =
        runProgram(QStringLiteral("7za"),
                   {QStringLiteral("l"), QStringLiteral("-slt"), QStringLiteral("--"), archive},
                   QDir::tempPath());
    if (ok)
        *ok = listed.ended && !listed.crashed && listed.exitCode == 0;
    return listed.out;
}

QStringList archiveEntries(const QString& archive) {
    QStringList entries;
    bool listing = false;
    for (const QString& line : QString::fromUtf8(archiveListing(archive)).split('\n')) {
        if (line.startsWith(QStringLiteral("----------")))
            listing = true;
        else if (listing && line.startsWith(QStringLiteral("Path = ")))
            entries << line.mid(7).trimmed();
    }
    return entries;
}

QMap<QString, QString> archiveMethods(const QString& archive) {
    QMap<QString, QString> methods;
    QString path;
    bool listing = false;
    for (const QByteArray& line : archiveListing(archive).split('\n')) {
        if (line.startsWith("----------"))
            listing = true;
        else if (listing && line.startsWith("Path = "))
            path = decodeUtf8Lossless(line.mid(7));
        else if (listing && line.startsWith("Method = "))
            methods.insert(path, QString::fromUtf8(line.mid(9)).trimmed());
    }
    return methods;
}

QStringList topFolders(const QStringList& entries) {
    QStringList tops;
    for (const QString& entry : entries) {
        const QString top = entry.section(QLatin1Char('/'), 0, 0);
        if (!tops.contains(top))
            tops << top;
    }
    return tops;
}

bool extractArchive(const QString& archive, const QString& into) {
    const ProcessResult extracted =
        runProgram(QStringLiteral("7za"),
                   {QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-o") + into,
                    QStringLiteral("--"), archive},
                   QDir::tempPath());
    return extracted.ended && !extracted.crashed && extracted.exitCode == 0;
}
