#include "TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDirIterator>

namespace {

bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

TempFolder::TempFolder() {
    dir_.setAutoRemove(true);
}

TempFolder::~TempFolder() {
    // Undo what tests may have left so the folder can go.
    QDirIterator it(dir_.path(),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        if (!QFileInfo(p).isSymLink()) {
            setImmutable(p, false);
            ::chmod(QFile::encodeName(p).constData(), QFileInfo(p).isDir() ? 0755 : 0644);
        }
    }
}

QString TempFolder::write(const QString& relative, const QByteArray& content) const {
    const QString full = *this / relative;
    writeBytes(full, content);
    return full;
}

QString TempFolder::makeFolder(const QString& relative) const {
    const QString full = *this / relative;
    QDir().mkpath(full);
    return full;
}

QString TempFolder::link(const QString& relative, const QString& target) const {
    const QString full = *this / relative;
    QDir().mkpath(QFileInfo(full).absolutePath());
    ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(full).constData());
    return full;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

bool makeUndeletable(const QString& filePath) {
    if (geteuid() == 0)
        return setImmutable(filePath, true);
    return ::chmod(QFile::encodeName(QFileInfo(filePath).absolutePath()).constData(), 0555) == 0;
}

void makeDeletable(const QString& filePath) {
    if (geteuid() == 0)
        setImmutable(filePath, false);
    else
        ::chmod(QFile::encodeName(QFileInfo(filePath).absolutePath()).constData(), 0755);
}
