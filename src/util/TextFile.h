#pragma once

#include "FileError.h"

#include <QByteArray>
#include <QString>

// Text files are read as UTF-8. Bytes that are not valid UTF-8 are kept as the code points
// U+DC80..U+DCFF (one per byte) and written back as those bytes, so a text that is loaded and
// saved unchanged comes back byte for byte, whatever its encoding.
QString decodeUtf8Lossless(const QByteArray& bytes);
QByteArray encodeUtf8Lossless(const QString& text);
// Appends a code point's UTF-8 bytes.
void appendUtf8(QByteArray& out, char32_t codePoint);

// Writes all bytes to an open file descriptor; throws FileError naming path.
void writeAllBytes(int fd, const QByteArray& bytes, const QString& path);
// The same, then closes the descriptor, also when writing fails; a failed close is a failed write.
void writeAllBytesAndClose(int fd, const QByteArray& bytes, const QString& path);

// Whole-file read; throws FileError when the file is missing or cannot be read.
QString LoadTextFromFile(const QString& path);
QByteArray LoadBytesFromFile(const QString& path);

// Whole-file write, creating or replacing the file; the old content stays until the new one is
// complete. Throws FileError when the file cannot be written.
void SaveTextToFile(const QString& text, const QString& path);
void SaveBytesToFile(const QByteArray& bytes, const QString& path);
