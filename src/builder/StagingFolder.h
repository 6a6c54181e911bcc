#pragma once

#include <QString>
#include <filesystem>

// A folder of one build's own inside the output folder, where the plugin is assembled and
// packed, so the build never has to delete a folder it did not make. Its name,
// .ostrel-build-XXXXXX, can be no identifier; a lock file in it is held for as long as the
// build lasts. Making one first removes the staging folders that ended builds left behind (a
// crash), but never one whose build still holds its lock.
class StagingFolder {
public:
    // Throws BuildError carrying the failing call's errno.
    explicit StagingFolder(const QString& outputFolder);
    // Removes the folder with everything in it.
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    QString path() const;

    // What a staging folder's name starts with, and its lock file's name.
    static constexpr const char* kNamePrefix = ".ostrel-build-";
    static constexpr const char* kLockName = ".ostrel-build.lock";

private:
    std::filesystem::path path_;
    int lock_ = -1;
};
