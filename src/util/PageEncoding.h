#pragma once

#include "FileError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Pages are read and written the way the embedded browser reads them, so a page declared as
// iso-8859-1 shows the same characters here as there. Encodings are named as the browser names
// them: "UTF-8", "windows-1252", "UTF-16LE", "Shift_JIS", ...

// The encoding a label stands for ("latin1", " ISO-8859-1 ", "utf8" ...); empty when the label
// is unknown. Case does not matter; surrounding ASCII whitespace is ignored.
QByteArray EncodingForLabel(QByteArrayView label);

// The encoding a browser reads these bytes with: a byte-order mark first, then a charset the
// page declares in its first 1024 bytes (<meta charset> or <meta http-equiv content>), then
// UTF-8 when the bytes are valid UTF-8, and windows-1252 otherwise.
QByteArray DetectPageEncoding(const QByteArray& bytes);

// The page's text in DetectPageEncoding's encoding, without byte-order mark; malformed
// sequences become U+FFFD. *encoding receives the encoding used.
QString DecodePage(const QByteArray& bytes, QByteArray* encoding = nullptr);

// Reads a file and decodes it as DecodePage does. Throws FileError.
QString LoadPageFromFile(const QString& path, QByteArray* encoding = nullptr);

// The text in the given encoding (a label; unknown labels mean UTF-8). Characters the encoding
// cannot hold become decimal character references (&#8364;), so the page shows what it showed.
// UTF-16 gets a byte-order mark, as a browser needs one to read it; UTF-8 gets none.
QByteArray EncodePage(const QString& text, QByteArrayView encoding);

// EncodePage written over path the way SaveTextToFile writes. Throws FileError.
void SavePageToFile(const QString& text, QByteArrayView encoding, const QString& path);
