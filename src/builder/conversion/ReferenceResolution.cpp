#include "ReferenceResolution.h"

#include "util/TextFile.h"

#include <QStringList>

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool hasScheme(QStringView address) {
    if (address.isEmpty() || !address[0].isLetter() || address[0].unicode() > 0x7F)
        return false;
    for (qsizetype i = 1; i < address.size(); ++i) {
        const QChar c = address[i];
        if (c == u':')
            return true;
        if (!(c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.')))
            return false;
    }
    return false;
}

} // namespace

QString FolderOf(const QString& relativePath) {
    const qsizetype slash = relativePath.lastIndexOf(u'/');
    return slash < 0 ? QString() : relativePath.left(slash);
}

ResolvedReference ResolveReference(const QString& address, const QString& baseFolder) {
    ResolvedReference r;
    qsizetype start = 0, end = address.size();
    while (start < end && isBlank(address[start]))
        ++start;
    while (end > start && isBlank(address[end - 1]))
        --end;
    qsizetype pathEnd = start;
    while (pathEnd < end && address[pathEnd] != u'?' && address[pathEnd] != u'#')
        ++pathEnd;
    r.start = start;
    r.pathEnd = pathEnd;

    // Browsers drop tabs and line breaks inside addresses and read "\" as "/".
    QString path = address.mid(start, pathEnd - start);
    path.remove(u'\t').remove(u'\n').remove(u'\r').replace(u'\\', u'/');
    if (path.startsWith(QLatin1String("//")) || hasScheme(path))
        return r;
    if (path.isEmpty()) {
        r.kind = ResolvedReference::Kind::SameDocument;
        return r;
    }
    const bool fromTop = path.startsWith(u'/');
    QStringList kept = fromTop || baseFolder.isEmpty() ? QStringList()
                                                       : baseFolder.split(u'/', Qt::SkipEmptyParts);
    const QStringList segments =
        decodeUtf8Lossless(QByteArray::fromPercentEncoding(encodeUtf8Lossless(path))).split(u'/');
    r.kind = ResolvedReference::Kind::InFolder;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const QString& segment = segments[i];
        const bool last = i + 1 == segments.size();
        if (segment == QLatin1String("..")) {
            if (kept.isEmpty())
                r.kind = ResolvedReference::Kind::OutsideFolder;
            else
                kept.removeLast();
        } else if (!segment.isEmpty() && segment != QLatin1String(".")) {
            kept << segment;
        }
        if (last)
            r.isFolder = segment.isEmpty() || segment == QLatin1String(".") ||
                         segment == QLatin1String("..");
    }
    if (r.kind == ResolvedReference::Kind::InFolder)
        r.path = kept.join(u'/');
    return r;
}

QString EncodeUrlPath(const QString& relativePath) {
    static const QByteArray kept = "-._~/!$*+,;=:@";
    return QString::fromLatin1(encodeUtf8Lossless(relativePath).toPercentEncoding(kept));
}
