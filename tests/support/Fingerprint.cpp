#include "Fingerprint.h"

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

QByteArray digestOf(const std::string& path) {
    return QCryptographicHash::hash(readRaw(path), QCryptographicHash::Sha1).toHex();
}

template <typename Visit>
void walk(const QByteArray& folder, const std::vector<std::string>& skipped, Visit visit) {
    const std::string base = folder.toStdString();
    std::error_code ec;
    fs::recursive_directory_iterator it(base, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string path = it->path().native();
        if (std::find(skipped.begin(), skipped.end(), path) != skipped.end()) {
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

QStringList fingerprint(const QString& folder, const QStringList& skipped) {
    std::vector<std::string> skippedPaths, theirFolders;
    for (const QString& path : skipped) {
        skippedPaths.push_back(QFile::encodeName(path).toStdString());
        theirFolders.push_back(fs::path(skippedPaths.back()).parent_path().native());
    }
    QStringList lines;
    walk(QFile::encodeName(folder), skippedPaths,
         [&](const std::string& path, const QByteArray& name, const struct stat& st) {
             QByteArray line =
                 name.toPercentEncoding("/ ") + ' ' + QByteArray::number(st.st_mode, 8);
             // A skipped subtree may come and go, which changes the time of its folder.
             if (std::find(theirFolders.begin(), theirFolders.end(), path) == theirFolders.end())
                 line += ' ' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                         QByteArray::number(qint64(st.st_mtim.tv_nsec)).rightJustified(9, '0');
             if (S_ISREG(st.st_mode)) {
                 line += ' ' + digestOf(path);
             } else if (S_ISLNK(st.st_mode)) {
                 std::error_code ignored;
                 line +=
                     " -> " + QByteArray::fromStdString(fs::read_symlink(path, ignored).native())
                                  .toPercentEncoding("/ ");
                 struct stat target {};
                 if (::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode))
                     line += ' ' + digestOf(path);
             }
             lines << QString::fromLatin1(line);
         });
    lines.sort();
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
