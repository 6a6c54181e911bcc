#include "FileError.h"

#include <cstring>

FileError FileError::fromErrno(int errnoValue, const QString& what, const QString& path) {
    return FileError(errnoValue,
                     QStringLiteral("%1 %2: %3")
                         .arg(what, path, QString::fromLocal8Bit(std::strerror(errnoValue))));
}
