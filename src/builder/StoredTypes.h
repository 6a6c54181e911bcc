#pragma once

#include <array>

// Extensions, matched without regard to case, of files the archive stores as they are: their
// content is compressed already, so deflating them costs most of the packing time and saves
// under 2 %. PDF is not among them: many hold uncompressed streams.
inline constexpr std::array kStoredExtensions{
    // pictures
    "jpg", "jpeg", "png", "gif", "webp", "avif", "heic", "heif", "jxl", "svgz",
    // video and audio
    "mp4", "m4v", "mov", "webm", "mkv", "avi", "ogv", "mp3", "m4a", "aac", "ogg", "oga", "opus",
    "flac",
    // archives, and documents that are archives
    "zip", "gz", "tgz", "bz2", "xz", "zst", "7z", "rar", "epub", "docx", "xlsx", "pptx", "odt",
    "ods", "odp", "jar",
    // fonts
    "woff", "woff2"};
