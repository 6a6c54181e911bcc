#include "Utf8Writer.h"

#include "FsPath.h"
#include "TextFile.h"

#include <QHash>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The path of each open file number, for error messages.
QHash<int, QString>& openFiles() {
    static QHash<int, QString> files;
    return files;
}

} // namespace

int OpenFileForAppend(const QString& path) {
    const int fd = ::open(toFsPath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot open"), path);
    openFiles().insert(fd, path);
    return fd;
}

void WriteUTF8Text(int fileNumber, const QString& text, bool addLineBreak) {
    QByteArray bytes = encodeUtf8Lossless(text);
    if (addLineBreak)
        bytes += "\r\n";
    writeAllBytes(fileNumber, bytes, openFiles().value(fileNumber));
}

void CloseFile(int fileNumber) {
    const QString path = openFiles().take(fileNumber);
    if (::close(fileNumber) != 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot write"), path);
}
