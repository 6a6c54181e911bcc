#pragma once

#include "FileError.h"

#include <QString>

// Writing text as UTF-8 without byte-order mark, through a file number.

// Opens (creating when missing) a file for writing at its end; throws FileError.
int OpenFileForAppend(const QString& path);

// Writes the text's UTF-8 bytes at the file's end, with CR LF after it when addLineBreak is set.
// Bytes that loading kept losslessly are written back unchanged. Throws FileError.
void WriteUTF8Text(int fileNumber, const QString& text, bool addLineBreak);

// Closes a file number; throws FileError when the last writes could not be completed.
void CloseFile(int fileNumber);
