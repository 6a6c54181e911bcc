#include "KillFolder.h"

#include "FsPath.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool fail(QString* failure, const QString& what, const fs::path& path, const std::error_code& ec) {
    if (failure)
        *failure = QStringLiteral("%1 %2: %3")
                       .arg(what, fromFsPath(path), QString::fromLocal8Bit(ec.message().c_str()));
    return false;
}

// A folder without write or search permission for its owner cannot be emptied; like clearing a
// read-only attribute, give the owner full rights before deleting from it.
void allowOwnerToEmpty(const fs::path& folder) {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all,
                    fs::perm_options::add | fs::perm_options::nofollow, ignored);
}

bool listEntries(const fs::path& folder, std::vector<fs::path>& files,
                 std::vector<fs::path>& folders, std::error_code& ec) {
    files.clear();
    folders.clear();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_status status = it->symlink_status(ec);
        if (ec)
            return false;
        (fs::is_directory(status) ? folders : files).push_back(it->path());
    }
    return !ec;
}

// The parent is loosened only when it lies inside the folder being deleted; the folder that
// holds that one keeps its permissions.
bool removeOne(const fs::path& path, const fs::path* parentToLoosen, std::error_code& ec) {
    if (fs::remove(path, ec))
        return true;
    if (parentToLoosen &&
        (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)) {
        allowOwnerToEmpty(*parentToLoosen);
        ec.clear();
        return fs::remove(path, ec);
    }
    return false;
}

bool killTree(const fs::path& folder, const fs::path* parentToLoosen, QString* failure) {
    std::vector<fs::path> files, folders;
    std::error_code ec;
    if (!listEntries(folder, files, folders, ec)) {
        allowOwnerToEmpty(folder);
        if (!listEntries(folder, files, folders, ec))
            return fail(failure, QStringLiteral("Cannot list"), folder, ec);
    }
    for (const fs::path& file : files) {
        if (!removeOne(file, &folder, ec))
            return fail(failure, QStringLiteral("Cannot delete"), file, ec);
    }
    for (const fs::path& sub : folders) {
        if (!killTree(sub, &folder, failure))
            return false;
    }
    if (!removeOne(folder, parentToLoosen, ec))
        return fail(failure, QStringLiteral("Cannot remove the folder"), folder, ec);
    return true;
}

} // namespace

bool KillFolder(const QString& path, QString* failure) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const fs::path folder = toFsPath(trimmed);
    if (trimmed.isEmpty() || folder == folder.root_path())
        return fail(failure, QStringLiteral("Refusing to delete"), folder,
                    std::make_error_code(std::errc::invalid_argument));

    std::error_code ec;
    const fs::file_status status = fs::symlink_status(folder, ec);
    if (ec || !fs::exists(status))
        return fail(failure, QStringLiteral("Cannot delete"), folder,
                    ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory));
    if (fs::is_symlink(status)) {
        // A link standing where the folder was expected goes as a link; its target stays.
        if (!fs::remove(folder, ec))
            return fail(failure, QStringLiteral("Cannot delete"), folder, ec);
        return true;
    }
    if (!fs::is_directory(status))
        return fail(failure, QStringLiteral("Cannot delete"), folder,
                    std::make_error_code(std::errc::not_a_directory));
    return killTree(folder, nullptr, failure);
}
