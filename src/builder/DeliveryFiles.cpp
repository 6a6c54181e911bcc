#include "DeliveryFiles.h"

#include "util/FsPath.h"
#include "util/TextFile.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <filesystem>

namespace {

const QSet<QString>& siteFileExtensions() {
    static const QSet<QString> extensions{
        // pages
        QStringLiteral("htm"), QStringLiteral("html"), QStringLiteral("xhtml"),
        QStringLiteral("shtml"),
        // style sheets and scripts
        QStringLiteral("css"), QStringLiteral("js"), QStringLiteral("mjs"), QStringLiteral("cjs"),
        // pictures
        QStringLiteral("png"), QStringLiteral("apng"), QStringLiteral("jpg"),
        QStringLiteral("jpeg"), QStringLiteral("jfif"), QStringLiteral("gif"),
        QStringLiteral("webp"), QStringLiteral("avif"), QStringLiteral("svg"),
        QStringLiteral("svgz"), QStringLiteral("ico"), QStringLiteral("bmp"), QStringLiteral("tif"),
        QStringLiteral("tiff"),
        // fonts
        QStringLiteral("woff"), QStringLiteral("woff2"), QStringLiteral("ttf"),
        QStringLiteral("otf"), QStringLiteral("eot")};
    return extensions;
}

// Files a desktop or a version control leaves behind; never part of a product.
bool isClutter(const QString& relativePath) {
    static const QRegularExpression clutter(
        QStringLiteral("(^|/)\\.|(^|/)(thumbs\\.db|desktop\\.ini)$"),
        QRegularExpression::CaseInsensitiveOption);
    return clutter.match(relativePath).hasMatch();
}

QString decodeCharacterReferences(const QString& text) {
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QRegularExpression reference(
        QStringLiteral("&(?:#(\\d{1,7})|#[xX]([0-9A-Fa-f]{1,6})|(amp|quot|apos|lt|gt));"));
    QString out;
    qsizetype from = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        static const QHash<QString, char32_t> named{{QStringLiteral("amp"), '&'},
                                                    {QStringLiteral("quot"), '"'},
                                                    {QStringLiteral("apos"), '\''},
                                                    {QStringLiteral("lt"), '<'},
                                                    {QStringLiteral("gt"), '>'}};
        char32_t code = 0;
        if (m.hasCaptured(1))
            code = m.captured(1).toUInt();
        else if (m.hasCaptured(2))
            code = m.captured(2).toUInt(nullptr, 16);
        else
            code = named.value(m.captured(3));
        if (code == 0 || code > 0x10FFFF)
            code = 0xFFFD;
        out += QString::fromUcs4(&code, 1);
    }
    out += QStringView(text).mid(from);
    return out;
}

QString decodePercents(const QString& text) {
    if (!text.contains(QLatin1Char('%')))
        return text;
    return decodeUtf8Lossless(QByteArray::fromPercentEncoding(encodeUtf8Lossless(text)));
}

// Which of the given files a page refers to anywhere: in quoted texts whole (names may hold
// blanks), and in the words between blanks, quotes, brackets, commas and equals signs (unquoted
// attributes, url(...), srcset lists). One pass over the page, and most words are turned away by
// their last segment before any decoding, so large pages stay cheap.
class PageReferences {
public:
    PageReferences(const QString& html, const QSet<QString>& files) : files_(files) {
        for (const QString& file : files)
            lastSegments_ << qHash(QStringView(file).mid(file.lastIndexOf(u'/') + 1));
        if (!files.isEmpty())
            scan(html);
    }

    bool contains(const QString& file) const { return found_.contains(file); }

private:
    static bool isSeparator(QChar c) {
        return c.isSpace() || QStringView(u"\"'<>(),=").contains(c);
    }

    void scan(const QString& html) {
        qsizetype wordStart = -1;
        qsizetype lastQuote[2] = {-1, -1};
        for (qsizetype i = 0; i <= html.size(); ++i) {
            const QChar c = i < html.size() ? html.at(i) : QChar(u' ');
            if (!isSeparator(c)) {
                if (wordStart < 0)
                    wordStart = i;
                continue;
            }
            if (wordStart >= 0)
                consider(QStringView(html).mid(wordStart, i - wordStart));
            wordStart = -1;
            const int kind = c == u'"' ? 0 : c == u'\'' ? 1 : -1;
            if (kind >= 0) {
                // Every stretch between two neighbouring quotes of a kind, attribute values among
                // them.
                if (lastQuote[kind] >= 0)
                    consider(QStringView(html).mid(lastQuote[kind] + 1, i - lastQuote[kind] - 1));
                lastQuote[kind] = i;
            }
        }
    }

    void consider(QStringView text) {
        static constexpr qsizetype kLongestPath = 4096;
        if (text.isEmpty() || text.size() > kLongestPath)
            return;
        // Without these a reference resolves to its own last segment unchanged.
        const bool encoded = std::any_of(text.begin(), text.end(), [](QChar c) {
            return c.isSpace() || QStringView(u"&%\\?#").contains(c);
        });
        if (!encoded && !lastSegments_.contains(qHash(text.mid(text.lastIndexOf(u'/') + 1))))
            return;
        const std::optional<QString> path = ResolvePageReference(text.toString());
        if (path && files_.contains(*path))
            found_ << *path;
    }

    const QSet<QString>& files_;
    QSet<size_t> lastSegments_; // hashes, so words are turned away without a copy
    QSet<QString> found_;
};

QStringList hrefValues(const QString& html) {
    static const QRegularExpression href(
        QStringLiteral("\\bhref\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'=<>`]+))"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList values;
    for (auto it = href.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        for (int group = 1; group <= 3; ++group) {
            if (m.hasCaptured(group))
                values << m.captured(group);
        }
    }
    return values;
}

bool isPlainRelativePath(const QString& path) {
    if (path.isEmpty() || path.contains(QLatin1Char('\\')))
        return false;
    for (const QString& segment : path.split(QLatin1Char('/'))) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
            return false;
    }
    return true;
}

QString phpSingleQuoted(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

std::optional<QString> ResolvePageReference(const QString& reference) {
    // Browsers trim blanks around addresses and read backslashes as slashes.
    QString path =
        decodeCharacterReferences(reference).trimmed().replace(QLatin1Char('\\'), QLatin1Char('/'));
    static const QRegularExpression queryOrFragment(QStringLiteral("[?#]"));
    const qsizetype cut = path.indexOf(queryOrFragment);
    if (cut >= 0)
        path.truncate(cut);
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || scheme.match(path).hasMatch())
        return std::nullopt;
    QStringList kept;
    for (const QString& segment : decodePercents(path).split(QLatin1Char('/'))) {
        if (segment.isEmpty() || segment == QLatin1String("."))
            continue;
        if (segment == QLatin1String("..")) {
            if (kept.isEmpty())
                return std::nullopt;
            kept.removeLast();
            continue;
        }
        kept << segment;
    }
    if (kept.isEmpty())
        return std::nullopt;
    return kept.join(QLatin1Char('/'));
}

bool CanBeDeliveryFile(const QString& relativePath) {
    const QString name = relativePath.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 || !siteFileExtensions().contains(name.mid(dot + 1).toLower());
}

DeliveryChoice DetectDeliveryFiles(const QString& salesPage, const QString& downloadPage,
                                   const QStringList& assets) {
    QSet<QString> candidates;
    for (const QString& asset : assets) {
        if (CanBeDeliveryFile(asset))
            candidates << asset;
    }
    const PageReferences usedBySales(salesPage, candidates);
    const auto deliverable = [&](const QString& path) {
        return candidates.contains(path) && !usedBySales.contains(path);
    };

    DeliveryChoice choice;
    for (const QString& href : hrefValues(downloadPage)) {
        const std::optional<QString> path = ResolvePageReference(href);
        if (path && deliverable(*path) && !choice.detected.contains(*path))
            choice.detected << *path;
    }
    // The page folder's listing names each file once.
    const QSet<QString> detected(choice.detected.cbegin(), choice.detected.cend());
    for (const QString& asset : assets) {
        if (deliverable(asset) && !detected.contains(asset) && !isClutter(asset))
            choice.others << asset;
    }
    return choice;
}

QString FindDeliveryProblem(const QString& pagesFolder, const QStringList& deliveryFiles) {
    for (const QString& file : deliveryFiles) {
        if (!isPlainRelativePath(file))
            return QStringLiteral("The delivery file \"%1\" must be given by its path inside the "
                                  "pages folder, such as files/guide.pdf.")
                .arg(file);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(toFsPath(pagesFolder + QLatin1Char('/') + file), ec))
            return QStringLiteral("The delivery file \"%1\" is not a file in the pages folder %2.")
                .arg(file, pagesFolder);
    }
    return {};
}

QString PhpPathList(const QString& comment, const QStringList& paths) {
    QString php = QStringLiteral("<?php\ndefined( 'ABSPATH' ) || exit;\n\n");
    for (const QString& line : comment.split(QLatin1Char('\n')))
        php += QStringLiteral("// ") + line + QLatin1Char('\n');
    php += QStringLiteral("return array(\n");
    for (const QString& path : paths)
        php += QLatin1Char('\t') + phpSingleQuoted(path) + QStringLiteral(",\n");
    return php + QStringLiteral(");\n");
}
