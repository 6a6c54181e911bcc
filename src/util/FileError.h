#pragma once

#include <QString>
#include <stdexcept>

// A failed file-system operation: what failed, on which path, and the system's own error.
class FileError : public std::runtime_error {
public:
    FileError(int code, const QString& description)
        : std::runtime_error(description.toStdString()), code_(code), description_(description) {}

    // Builds "<what> <path>: <system message>" from an errno value.
    static FileError fromErrno(int errnoValue, const QString& what, const QString& path);

    int code() const { return code_; }
    const QString& description() const { return description_; }

private:
    int code_;
    QString description_;
};
