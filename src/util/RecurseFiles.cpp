#include "RecurseFiles.h"

#include "FsPath.h"
#include "TextFile.h"

#include <QDir>
#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Walker {
    std::string basePrefix; // as bytes, so names that are not UTF-8 survive
    QStringList& list;
    std::vector<std::pair<dev_t, ino_t>> ancestors;

    void walk(const fs::path& folder) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0)
            return;
        const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
        if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end())
            return;
        ancestors.push_back(id);

        std::vector<fs::path> entries;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(it->path());
        std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
            const QString na = fromFsPath(a.filename()), nb = fromFsPath(b.filename());
            const int byName = na.compare(nb, Qt::CaseInsensitive);
            return byName != 0 ? byName < 0 : na < nb;
        });
        for (const fs::path& entry : entries) {
            struct stat target {};
            if (::stat(entry.c_str(), &target) != 0)
                continue; // dangling link
            if (S_ISDIR(target.st_mode)) {
                if (!fs::is_symlink(fs::symlink_status(entry, ec)) || !linkContainsItself(entry))
                    walk(entry);
            } else if (S_ISREG(target.st_mode)) {
                // Decoded as page text is, so a name that is not UTF-8 still matches its
                // references in the pages.
                const std::string& full = entry.native();
                if (full.compare(0, basePrefix.size(), basePrefix) == 0)
                    list << decodeUtf8Lossless(
                        QByteArray::fromStdString(full.substr(basePrefix.size())));
            }
        }
        ancestors.pop_back();
    }
};

} // namespace

void RecurseFiles(const QString& fPath, const QString& base, QStringList& list) {
    QString prefix = QDir::cleanPath(base);
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    Walker walker{toFsPath(prefix).native(), list, {}};
    walker.walk(toFsPath(QDir::cleanPath(fPath)));
}
