#include "DeliveryFiles.h"

#include "PhpText.h"
#include "conversion/CharacterReferences.h"
#include "conversion/ReferenceConverter.h"
#include "conversion/ReferenceResolution.h"
#include "util/FsPath.h"
#include "util/TextFile.h"

#include <QHash>
#include <QRandomGenerator>
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

// Which of the given files a page refers to anywhere: in quoted texts whole (names may hold
// blanks), and in the words between blanks, quotes, brackets, commas and equals signs (unquoted
// attributes, url(...), srcset lists). One pass over the page, and most words are turned away by
// their last segment before any decoding, so large pages stay cheap.
class PageReferences {
public:
    PageReferences(const QString& html, const QString& pageFolder, const QSet<QString>& files)
        : files_(files), pageFolder_(pageFolder) {
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
        const std::optional<QString> path = ResolvePageReference(text.toString(), pageFolder_);
        if (path && files_.contains(*path))
            found_ << *path;
    }

    const QSet<QString>& files_;
    const QString pageFolder_;
    QSet<size_t> lastSegments_; // hashes, so words are turned away without a copy
    QSet<QString> found_;
};

bool isPlainRelativePath(const QString& path) {
    if (path.isEmpty() || path.contains(QLatin1Char('\\')))
        return false;
    for (const QString& segment : path.split(QLatin1Char('/'))) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
            return false;
    }
    return true;
}

} // namespace

std::optional<QString> ResolvePageReference(const QString& reference, const QString& pageFolder) {
    const ResolvedReference r =
        ResolveReference(DecodeCharacterReferences(reference).text, pageFolder);
    if (r.kind != ResolvedReference::Kind::InFolder || r.path.isEmpty())
        return std::nullopt;
    return r.path;
}

bool CanBeDeliveryFile(const QString& relativePath) {
    const QString name = relativePath.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 || !siteFileExtensions().contains(name.mid(dot + 1).toLower());
}

DeliveryChoice DetectDeliveryFiles(const QString& salesPage, const QString& salesPath,
                                   const QString& downloadPage, const QString& downloadPath,
                                   const QStringList& assets) {
    QSet<QString> candidates;
    for (const QString& asset : assets) {
        if (CanBeDeliveryFile(asset))
            candidates << asset;
    }
    const PageReferences usedBySales(salesPage, FolderOf(salesPath), candidates);
    const auto deliverable = [&](const QString& path) {
        return candidates.contains(path) && !usedBySales.contains(path);
    };

    DeliveryChoice choice;
    const ReferenceConverter links(assets, SitePages{salesPath, downloadPath, {}}, QString());
    for (const QString& path : links.linkedFiles(downloadPage, downloadPath)) {
        if (deliverable(path) && !choice.detected.contains(path))
            choice.detected << path;
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
        php += QLatin1Char('\t') + PhpSingleQuoted(path) + QStringLiteral(",\n");
    return php + QStringLiteral(");\n");
}

QString PackedDeliveryFolderName() {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = QStringLiteral("product-");
    for (int i = 0; i < 32; ++i)
        name += QLatin1Char(kAlphabet[QRandomGenerator::system()->bounded(36)]);
    return name;
}
