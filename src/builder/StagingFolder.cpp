#include "StagingFolder.h"

#include "BuildError.h"
#include "util/FsPath.h"
#include "util/KillFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int openLock(const fs::path& folder, int createFlags) {
    const fs::path lock = folder / StagingFolder::kLockName;
    return ::open(lock.c_str(), createFlags | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
}

bool hold(int lock) {
    return ::flock(lock, LOCK_EX | LOCK_NB) == 0;
}

// Staging folders whose lock can be taken belong to no running build.
void removeLeftovers(const fs::path& output) {
    std::vector<fs::path> candidates;
    std::error_code ec;
    for (fs::directory_iterator it(output, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().native();
        std::error_code typeError;
        if (name.starts_with(StagingFolder::kNamePrefix) &&
            fs::is_directory(it->symlink_status(typeError)))
            candidates.push_back(it->path());
    }
    for (const fs::path& folder : candidates) {
        const int lock = openLock(folder, 0);
        if (lock < 0)
            continue;
        if (hold(lock))
            KillFolder(fromFsPath(folder));
        ::close(lock);
    }
}

BuildError creationError(int errnoValue, const fs::path& path) {
    return BuildError{
        errnoValue, QStringLiteral("Cannot create the folder %1: %2")
                        .arg(fromFsPath(path), QString::fromLocal8Bit(std::strerror(errnoValue)))};
}

} // namespace

StagingFolder::StagingFolder(const QString& outputFolder) {
    const fs::path output = toFsPath(outputFolder);
    removeLeftovers(output);
    const fs::path pattern = output / (std::string(kNamePrefix) + "XXXXXX");
    // A concurrent build's sweep can take a new folder's lock between its creation and its
    // locking; that folder is then the sweep's to remove, and another one is made. Where the
    // file system has no locks the folder stays unlocked, and no sweep can take it either.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string name = pattern.native();
        if (!::mkdtemp(name.data()))
            throw creationError(errno, pattern);
        lock_ = openLock(name, O_CREAT | O_EXCL);
        if (lock_ < 0) {
            const int error = errno;
            ::rmdir(name.c_str());
            throw creationError(error, fs::path(name) / kLockName);
        }
        if (hold(lock_) || errno != EWOULDBLOCK) {
            path_ = name;
            return;
        }
        ::close(lock_);
    }
    lock_ = -1;
    throw creationError(EWOULDBLOCK, pattern);
}

StagingFolder::~StagingFolder() {
    // Removed while still locked, so no other build's sweep starts on it meanwhile.
    KillFolder(fromFsPath(path_));
    ::close(lock_);
}

QString StagingFolder::path() const {
    return fromFsPath(path_);
}
