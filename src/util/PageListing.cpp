#include "PageListing.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

bool endsWithPageSuffix(const char* name) {
    const size_t length = std::strlen(name);
    auto endsWith = [&](const char* suffix) {
        const size_t n = std::strlen(suffix);
        return length >= n && ::strcasecmp(name + length - n, suffix) == 0;
    };
    return endsWith(".htm") || endsWith(".html");
}

bool isRegularFile(int folderFd, const dirent* entry, bool& sawLinks) {
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    sawLinks = true;
    struct stat st {};
    return ::fstatat(folderFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

} // namespace

QStringList ListPages(const QString& folder, bool* sawLinks) {
    bool followed = false;
    QStringList pages;
    if (sawLinks)
        *sawLinks = true; // a folder that cannot be read tells nothing to rely on
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return pages;
    while (const dirent* entry = ::readdir(dir)) {
        if (endsWithPageSuffix(entry->d_name) && isRegularFile(::dirfd(dir), entry, followed))
            pages << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    if (sawLinks)
        *sawLinks = followed;
    std::sort(pages.begin(), pages.end(), [](const QString& a, const QString& b) {
        const int byName = a.compare(b, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a < b;
    });
    return pages;
}
