#pragma once

#include <QString>
#include <filesystem>

// File names on this platform are bytes; QString paths are decoded from them as UTF-8, bytes
// that are not UTF-8 kept as U+DC80..U+DCFF (see decodeUtf8Lossless), so a name comes back to
// the file system exactly as it was read. These two keep the conversion in one place.
std::filesystem::path toFsPath(const QString& path);
QString fromFsPath(const std::filesystem::path& path);

// Whether a link leads to a folder that holds the link itself (its own folder, a parent, "/"):
// following it would walk without end. Links that cannot be resolved count as such.
bool linkContainsItself(const std::filesystem::path& link);

// Whether a cleaned absolute path is the other one or lies inside it, comparing the text.
bool isSameOrInside(const QString& inner, const QString& outer);

// The same for the places the paths lead to: links resolved, "." and ".." taken out; a tail
// that does not exist yet is taken as written.
bool leadsSameOrInside(const QString& inner, const QString& outer);
