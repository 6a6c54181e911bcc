#include "FsPath.h"

#include <QFile>

std::filesystem::path toFsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString fromFsPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

bool linkContainsItself(const std::filesystem::path& link) {
    std::error_code ec;
    const auto target = std::filesystem::canonical(link, ec);
    if (ec)
        return true;
    const auto here = std::filesystem::canonical(link.parent_path(), ec);
    if (ec)
        return true;
    auto h = here.begin();
    for (auto t = target.begin(); t != target.end(); ++t, ++h)
        if (h == here.end() || *h != *t)
            return false;
    return true;
}

bool isSameOrInside(const QString& inner, const QString& outer) {
    if (inner == outer || outer == QLatin1String("/"))
        return true;
    return inner.startsWith(outer + QLatin1Char('/'));
}
