#include "CopyFolder.h"

#include "FsPath.h"
#include "Progress.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
};

bool idOf(const fs::path& path, FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

QString systemMessage(int errnoValue) {
    return QString::fromLocal8Bit(std::strerror(errnoValue));
}

// Large files are copied in chunks of this size, so a cancel is heard within one.
constexpr off_t kChunk = 8 << 20;

class FolderCopier {
public:
    // Counting walks the tree as copying would, and copies nothing.
    enum class Mode { Copy, Count };

    FolderCopier(CopyReport& report, FileId destination, Progress* progress, Mode mode,
                 qint64 total = 0)
        : report_(report), destination_(destination), progress_(progress), mode_(mode),
          total_(total) {}

    qint64 files() const { return files_; }

    void copyTree(const fs::path& from, const fs::path& to) {
        FileId id{};
        if (!idOf(from, id))
            return noteErrno(from, errno);
        if (isAncestor(id))
            return note(from, QStringLiteral("folder leads back into a folder being copied"),
                        ELOOP);
        ancestors_.push_back(id);
        std::error_code ec;
        for (fs::directory_iterator it(from, ec), end; !ec && it != end && !stopped();
             it.increment(ec))
            copyEntry(it->path(), to / it->path().filename());
        if (ec)
            noteErrno(from, ec.value());
        ancestors_.pop_back();
    }

private:
    void copyEntry(const fs::path& from, const fs::path& to) {
        struct stat own {};
        if (::lstat(from.c_str(), &own) != 0)
            return noteErrno(from, errno);
        struct stat target = own;
        if (S_ISLNK(own.st_mode) && ::stat(from.c_str(), &target) != 0) {
            const int error = errno;
            return note(from, QStringLiteral("link leads nowhere (%1)").arg(systemMessage(error)),
                        error);
        }

        if (S_ISREG(target.st_mode)) {
            if (mode_ == Mode::Count)
                return void(++files_);
            return copyFile(from, to, target);
        }
        if (!S_ISDIR(target.st_mode))
            return note(from, QStringLiteral("not a regular file or folder"), ENOTSUP);
        if (FileId{target.st_dev, target.st_ino} == destination_)
            return; // the destination inside the source: never copy it into itself
        if (S_ISLNK(own.st_mode) && linkContainsItself(from))
            return note(from, QStringLiteral("link leads back into a folder being copied"), ELOOP);

        std::error_code ec;
        if (mode_ == Mode::Copy) {
            fs::create_directory(to, ec);
            if (ec)
                return noteErrno(to, ec.value());
            if (!fs::is_directory(fs::symlink_status(to, ec)))
                return note(to, QStringLiteral("cannot create the folder"), ENOTDIR);
        }
        copyTree(from, to);
    }

    bool stopped() {
        if (!report_.cancelled && progress_ && progress_->cancelled())
            report_.cancelled = true;
        return report_.cancelled;
    }

    void reportFile() {
        ++files_;
        if (progress_)
            progress_->step(QStringLiteral("Copying files (%1 of %2)...")
                                .arg(countText(files_), countText(qMax(files_, total_))),
                            files_, qMax(files_, total_));
    }

    bool isAncestor(FileId id) const {
        for (const FileId& ancestor : ancestors_)
            if (ancestor == id)
                return true;
        return false;
    }

    void copyFile(const fs::path& from, const fs::path& to, const struct stat& source) {
        const mode_t mode = source.st_mode;
        const off_t size = source.st_size;
        // A link or an unwritable file standing at the target is replaced, never written through.
        struct stat existing {};
        if (::lstat(to.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode))
            ::unlink(to.c_str());

        const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return noteErrno(from, errno);
        const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                               (mode & 0777) | S_IWUSR | S_IRUSR);
        if (out < 0) {
            const int error = errno;
            ::close(in);
            return noteErrno(to, error);
        }
        const int error = pump(in, out, size);
        ::close(in);
        if (::close(out) != 0 && error == 0)
            return noteErrno(to, errno);
        if (error != 0) {
            ::unlink(to.c_str()); // no truncated copy left behind
            if (error != ECANCELED)
                noteErrno(from, error);
            return;
        }
        reportFile();
    }

    // Copies until the end of the input; returns 0, the errno of the failing call, or ECANCELED.
    int pump(int in, int out, off_t size) {
        // In the kernel where the file system allows it; files that report no size (such as
        // those of /proc) and file systems that refuse go through a buffer.
        if (size > 0) {
            off_t left = size;
            while (left > 0) {
                if (stopped())
                    return ECANCELED;
                const ssize_t n =
                    ::copy_file_range(in, nullptr, out, nullptr, size_t(std::min(left, kChunk)), 0);
                if (n > 0) {
                    left -= n;
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && errno != EXDEV && errno != EINVAL && errno != ENOSYS &&
                    errno != EOPNOTSUPP)
                    return errno;
                break; // copy the rest, or all of it, through the buffer
            }
        }
        static thread_local std::vector<char> buffer(1 << 18);
        for (off_t sinceCheck = 0;; sinceCheck += off_t(buffer.size())) {
            if (sinceCheck >= kChunk) {
                if (stopped())
                    return ECANCELED;
                sinceCheck = 0;
            }
            ssize_t n = ::read(in, buffer.data(), buffer.size());
            if (n == 0)
                return 0;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            for (const char* p = buffer.data(); n > 0;) {
                const ssize_t written = ::write(out, p, size_t(n));
                if (written < 0) {
                    if (errno == EINTR)
                        continue;
                    return errno;
                }
                p += written;
                n -= written;
            }
        }
    }

    void note(const fs::path& path, const QString& reason, int errnoValue) {
        if (mode_ == Mode::Count)
            return; // the copy that follows says it
        report_.failures << QStringLiteral("%1: %2").arg(fromFsPath(path), reason);
        if (report_.firstError == 0)
            report_.firstError = errnoValue;
    }
    void noteErrno(const fs::path& path, int errnoValue) {
        note(path, systemMessage(errnoValue), errnoValue);
    }

    CopyReport& report_;
    FileId destination_;
    Progress* progress_;
    Mode mode_;
    qint64 total_;
    qint64 files_ = 0;
    std::vector<FileId> ancestors_;
};

} // namespace

CopyReport CopyFolder(const QString& source, const QString& destination, Progress* progress) {
    CopyReport report;
    const fs::path from = toFsPath(source);
    const fs::path to = toFsPath(destination);
    std::error_code ec;
    auto fail = [&](const QString& path, const QString& reason, int errnoValue) {
        report.failures << QStringLiteral("%1: %2").arg(path, reason);
        report.firstError = errnoValue;
        return report;
    };
    if (!fs::is_directory(from, ec))
        return fail(source, QStringLiteral("not a folder"),
                    ec ? ec.value() : (fs::exists(from, ec) ? ENOTDIR : ENOENT));
    fs::create_directories(to, ec);
    FileId destinationId{};
    const int error = ec ? ec.value() : (idOf(to, destinationId) ? 0 : errno);
    if (error != 0)
        return fail(destination, systemMessage(error), error);
    FileId sourceId{};
    if (idOf(from, sourceId) && sourceId == destinationId)
        return fail(source, QStringLiteral("cannot be copied onto itself"), EINVAL);
    qint64 total = 0;
    if (progress) {
        FolderCopier counter(report, destinationId, progress, FolderCopier::Mode::Count);
        counter.copyTree(from, to);
        total = counter.files();
        if (report.cancelled)
            return report;
        progress->step(
            QStringLiteral("Copying files (%1 of %2)...").arg(countText(0), countText(total)), 0,
            total);
    }
    FolderCopier(report, destinationId, progress, FolderCopier::Mode::Copy, total)
        .copyTree(from, to);
    return report;
}
