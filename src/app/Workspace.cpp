#include "Workspace.h"

#include "util/FsPath.h"
#include "util/HelperOps.h"
#include "util/KillFolder.h"
#include "util/PageListing.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <filesystem>

namespace {

// With the folders that hold it: an installed program's places may not exist yet.
QString createFolder(const QString& path) {
    std::error_code ec;
    std::filesystem::create_directories(toFsPath(path), ec);
    if (!ec)
        return {};
    return QStringLiteral("Cannot create the folder %1: %2")
        .arg(path, QString::fromLocal8Bit(ec.message().c_str()));
}

} // namespace

Workspace::Workspace(ProgramFolder programFolder) : programFolder_(std::move(programFolder)) {}

QString Workspace::resetWorkFolder() const {
    const QString work = workFolder();
    if (!PathExists(work, true))
        return {};
    QString failure;
    if (!KillFolder(work, &failure))
        return failure;
    return createFolder(work);
}

QString Workspace::ensureFolders() const {
    for (const QString& folder : {programFolder_.dataFolder(), programFolder_.outputFolder()}) {
        const QString failure = PathExists(folder, true) ? QString() : createFolder(folder);
        if (!failure.isEmpty())
            return failure;
    }
    return {};
}

Workspace::SourceCheck Workspace::checkSource(const QString& folder) const {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return SourceCheck::NotAFolder;
    const QString source = info.canonicalFilePath();
    const QString work = canonicalWorkFolder();
    if (isSameOrInside(source, work) || isSameOrInside(work, source))
        return SourceCheck::OverlapsWorkFolder;
    if (ListPages(folder).isEmpty())
        return SourceCheck::NoPages;
    return SourceCheck::Ok;
}

CopyReport Workspace::copyIn(const QString& source) const {
    return CopyFolder(source, workFolder());
}

QString Workspace::canonicalWorkFolder() const {
    const QFileInfo work(workFolder());
    if (work.exists())
        return work.canonicalFilePath();
    const QString data = QFileInfo(programFolder_.dataFolder()).canonicalFilePath();
    return data.isEmpty() ? QDir::cleanPath(work.absoluteFilePath())
                          : QDir::cleanPath(data + QLatin1Char('/') + work.fileName());
}

QString Workspace::normaliseTypedPath(const QString& typed) {
    if (typed.isEmpty() || QFileInfo::exists(typed))
        return typed;
    QString path = typed.trimmed();
    if (path.size() >= 2 &&
        (path.front() == QLatin1Char('"') || path.front() == QLatin1Char('\'')) &&
        path.back() == path.front())
        path = path.mid(1, path.size() - 2);
    if (path.startsWith(QLatin1String("file://")))
        path = QUrl(path).toLocalFile();
    else if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    return path;
}
