#include "FsPath.h"

#include "TextFile.h"

namespace fs = std::filesystem;

namespace {

fs::path resolved(const QString& path) {
    std::error_code ec;
    fs::path result = fs::weakly_canonical(fs::absolute(toFsPath(path), ec), ec);
    if (ec)
        result = fs::absolute(toFsPath(path), ec).lexically_normal();
    if (!result.has_filename() && result != result.root_path())
        result = result.parent_path();
    return result;
}

} // namespace

fs::path toFsPath(const QString& path) {
    return fs::path(encodeUtf8Lossless(path).toStdString());
}

QString fromFsPath(const fs::path& path) {
    return decodeUtf8Lossless(QByteArray::fromStdString(path.native()));
}

bool linkContainsItself(const fs::path& link) {
    std::error_code ec;
    const auto target = fs::canonical(link, ec);
    if (ec)
        return true;
    const auto here = fs::canonical(link.parent_path(), ec);
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

bool leadsSameOrInside(const QString& inner, const QString& outer) {
    const fs::path in = resolved(inner);
    const fs::path out = resolved(outer);
    auto i = in.begin();
    for (auto o = out.begin(); o != out.end(); ++o, ++i)
        if (i == in.end() || *i != *o)
            return false;
    return true;
}
