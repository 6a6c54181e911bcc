#include "FaultSupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

QByteArray readRaw(const std::string& path) {
    QByteArray bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<unreadable>";
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

template <typename Visit>
void walk(const QByteArray& folder, const QList<QByteArray>& skipped, Visit visit) {
    const std::string base = folder.toStdString();
    std::error_code ec;
    fs::recursive_directory_iterator it(base, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string path = it->path().native();
        if (std::find(skipped.begin(), skipped.end(), QByteArray::fromStdString(path)) !=
            skipped.end()) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        visit(path, QByteArray::fromStdString(path.substr(base.size() + 1)), st);
    }
}

} // namespace

std::vector<std::string> treePrint(const QByteArray& folder, const QList<QByteArray>& skipped) {
    std::vector<std::string> lines;
    walk(folder, skipped,
         [&](const std::string& path, const QByteArray& name, const struct stat& st) {
             QByteArray line =
                 name.toPercentEncoding("/ ") + ' ' + QByteArray::number(st.st_mode, 8);
             if (S_ISREG(st.st_mode))
                 line += ' ' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                         QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' ' +
                         QCryptographicHash::hash(readRaw(path), QCryptographicHash::Sha1).toHex();
             else if (S_ISLNK(st.st_mode))
                 line += " -> " + QByteArray::fromStdString(fs::read_symlink(path).native())
                                      .toPercentEncoding("/ ");
             lines.push_back(line.toStdString());
         });
    std::sort(lines.begin(), lines.end());
    return lines;
}

QMap<QByteArray, QByteArray> filesUnder(const QByteArray& folder) {
    QMap<QByteArray, QByteArray> files;
    walk(folder, {}, [&](const std::string& path, const QByteArray& name, const struct stat& st) {
        if (S_ISREG(st.st_mode))
            files.insert(name, readRaw(path));
    });
    return files;
}

void writeRaw(const QByteArray& path, const QByteArray& content) {
    std::error_code ec;
    fs::create_directories(fs::path(path.toStdString()).parent_path(), ec);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    for (qsizetype done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
}

void removeTreeRaw(const QByteArray& folder) {
    std::error_code ignored;
    fs::remove_all(fs::path(folder.toStdString()), ignored);
}

QString builtProgramFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../ostrel"));
}

void makeProgramFolder(const QString& folder) {
    QDir().mkpath(folder);
    copyTree(builtProgramFolder() + QStringLiteral("/ostrel-build"),
             folder + QStringLiteral("/ostrel-build"));
    copyTree(builtProgramFolder() + QStringLiteral("/plugintemplatepro"),
             folder + QStringLiteral("/plugintemplatepro"));
}

bool copyTree(const QString& from, const QString& to) {
    return QProcess::execute(QStringLiteral("cp"),
                             {QStringLiteral("-a"), QStringLiteral("--"), from, to}) == 0;
}

bool makeReadOnlyFolder(const QString& folder) {
    // Setting the immutable flag on the folder itself; makeUndeletable guards a file's folder
    // only when not root.
    if (geteuid() == 0)
        return makeUndeletable(folder);
    return ::chmod(QFile::encodeName(folder).constData(), 0555) == 0;
}

void makeWritableFolder(const QString& folder) {
    if (geteuid() == 0)
        makeDeletable(folder);
    else
        ::chmod(QFile::encodeName(folder).constData(), 0755);
}

ProcessResult runProgram(const QString& program, const QStringList& arguments,
                         const QString& workingFolder, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(-1))
        return result;
    result.ended = process.waitForFinished(10 * 60 * 1000);
    if (!result.ended) {
        process.kill();
        process.waitForFinished(-1);
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray archiveListing(const QString& archive, bool* ok) {
    const ProcessResult listed =
        runProgram(QStringLiteral("7za"),
                   {QStringLiteral("l"), QStringLiteral("-slt"), QStringLiteral("--"), archive},
                   QDir::tempPath());
    if (ok)
        *ok = listed.ended && !listed.crashed && listed.exitCode == 0;
    return listed.out;
}

bool extractArchive(const QString& archive, const QString& into) {
    const ProcessResult extracted =
        runProgram(QStringLiteral("7za"),
                   {QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-o") + into,
                    QStringLiteral("--"), archive},
                   QDir::tempPath());
    return extracted.ended && !extracted.crashed && extracted.exitCode == 0;
}
