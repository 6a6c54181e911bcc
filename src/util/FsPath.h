#pragma once

#include <QString>
#include <filesystem>

// File names on this platform are bytes; QString paths are decoded from them as UTF-8.
// These two keep the conversion in one place.
std::filesystem::path toFsPath(const QString& path);
QString fromFsPath(const std::filesystem::path& path);
