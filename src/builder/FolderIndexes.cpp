#include "FolderIndexes.h"

#include "util/FileError.h"
#include "util/FsPath.h"
#include "util/TextFile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const QByteArray kSilentIndex("<?php\n// Keeps web servers from listing this folder.\n");

void writeIndexIfMissing(const fs::path& folder) {
    const fs::path index = folder / "index.php";
    const QString shown = fromFsPath(index);
    // O_EXCL: an index.php that is there, or a link by that name, stays as it is.
    const int fd = ::open(index.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            return;
        throw FileError::fromErrno(errno, QStringLiteral("Cannot create"), shown);
    }
    writeAllBytesAndClose(fd, kSilentIndex, shown);
}

} // namespace

void AddFolderIndexes(const QString& root) {
    const fs::path top = toFsPath(root);
    writeIndexIfMissing(top);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError) && !it->is_symlink(typeError))
            writeIndexIfMissing(it->path());
    }
    if (ec)
        throw FileError(ec.value(), QStringLiteral("Cannot list the folders of %1: %2")
                                        .arg(root, QString::fromStdString(ec.message())));
}
