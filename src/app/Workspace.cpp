#include "Workspace.h"

#include "util/FsPath.h"
#include "util/HelperOps.h"
#include "util/KillFolder.h"
#include "util/PageListing.h"
#include "util/Progress.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

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

// Also a link or a file standing there: it goes as itself, never followed.
bool standsThere(const QString& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(toFsPath(path), ec));
}

QString removeIfThere(const QString& path) {
    QString failure;
    return !standsThere(path) || KillFolder(path, &failure) ? QString() : failure;
}

QString renameFailure(const QString& from, const QString& to, int error) {
    return QStringLiteral("Cannot rename %1 to %2: %3")
        .arg(from, to, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

Workspace::Workspace(ProgramFolder programFolder) : programFolder_(std::move(programFolder)) {}

QString Workspace::resetWorkFolder() const {
    for (const QString& leftover : {loadingFolder(), replacedFolder()}) {
        const QString failure = removeIfThere(leftover);
        if (!failure.isEmpty())
            return failure;
    }
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

Workspace::LoadOutcome Workspace::load(const QString& source, Progress* progress) const {
    LoadOutcome outcome;
    const QString work = workFolder();
    const QString loading = loadingFolder();
    const QString replaced = replacedFolder();
    // Both are the program's own names: what stands there was left by a load that never ended.
    for (const QString& leftover : {loading, replaced}) {
        outcome.failure = removeIfThere(leftover);
        if (!outcome.failure.isEmpty())
            return outcome;
    }
    outcome.failure = createFolder(programFolder_.dataFolder());
    if (!outcome.failure.isEmpty())
        return outcome;
    if (::mkdir(toFsPath(loading).c_str(), 0777) != 0) {
        outcome.failure = QStringLiteral("Cannot create the folder %1: %2")
                              .arg(loading, QString::fromLocal8Bit(std::strerror(errno)));
        return outcome;
    }
    outcome.copied = CopyFolder(source, loading, progress);
    if (progress && progress->cancelled())
        outcome.copied.cancelled = true; // too late to stop the copy, in time to keep it out
    if (outcome.copied.cancelled) {
        KillFolder(loading);
        return outcome;
    }

    // The old working folder is set aside, not deleted, until the new one stands in its place.
    const bool hadWork = standsThere(work);
    if (hadWork && std::rename(toFsPath(work).c_str(), toFsPath(replaced).c_str()) != 0) {
        outcome.failure = renameFailure(work, replaced, errno);
        KillFolder(loading);
        return outcome;
    }
    if (std::rename(toFsPath(loading).c_str(), toFsPath(work).c_str()) != 0) {
        outcome.failure = renameFailure(loading, work, errno);
        if (hadWork)
            std::rename(toFsPath(replaced).c_str(), toFsPath(work).c_str());
        KillFolder(loading);
        return outcome;
    }
    // A working folder that cannot be emptied is put back: the folder is then not loaded, as
    // when the user's programs hold files in it.
    QString failure;
    if (hadWork && !KillFolder(replaced, &failure) &&
        std::rename(toFsPath(work).c_str(), toFsPath(loading).c_str()) == 0) {
        if (std::rename(toFsPath(replaced).c_str(), toFsPath(work).c_str()) == 0) {
            KillFolder(loading);
            outcome.failure = failure;
        } else {
            std::rename(toFsPath(loading).c_str(), toFsPath(work).c_str()); // loaded after all
        }
    }
    return outcome;
}

CopyReport Workspace::copyIn(const QString& source) const {
    LoadOutcome outcome = load(source);
    if (!outcome.failure.isEmpty())
        outcome.copied.failures << outcome.failure;
    return outcome.copied;
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
