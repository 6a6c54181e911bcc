#include "PageConversion.h"

#include "PluginHeader.h"

#include "util/FsPath.h"
#include "util/HelperOps.h"
#include "util/PageEncoding.h"
#include "util/TextFile.h"
#include "util/Utf8Writer.h"

#include <cerrno>
#include <unistd.h>

const PageTags& FrontTags() {
    static const PageTags tags{
        {QStringLiteral("#front#"), QStringLiteral("#FRONT#"), QStringLiteral("#Front#")},
        QStringLiteral("<?php echo $front_tag; // phpcs:ignore WordPress.Security.EscapeOutput "
                       "-- the seller's own HTML, cleaned when saved ?>")};
    return tags;
}

const PageTags& BackTags() {
    static const PageTags tags{
        {QStringLiteral("#back#"), QStringLiteral("#BACK#"), QStringLiteral("#Back#")},
        QStringLiteral("<?php echo $back_tag; // phpcs:ignore WordPress.Security.EscapeOutput "
                       "-- the seller's own HTML, cleaned when saved ?>")};
    return tags;
}

QString AssetUrlPrefix() {
    return QStringLiteral("<?php echo esc_url( plugins_url( '/', __FILE__ ) ); ?>");
}

QString ConvertedPageGuard() {
    return QStringLiteral("<?php defined( 'ABSPATH' ) || exit; ?>");
}

QString NeutralisePhpOpenings(const QString& text) {
    static const QString kOpening = QStringLiteral("<?");
    static const QString kPrinted = QStringLiteral("<?php echo '<?'; ?>");
    QString result;
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(kOpening); at >= 0; at = text.indexOf(kOpening, at + 2)) {
        const QStringView after = QStringView(text).mid(at + 2);
        if (after.startsWith(QLatin1Char('=')) ||
            after.startsWith(QLatin1String("php"), Qt::CaseInsensitive))
            continue;
        result += QStringView(text).mid(from, at - from);
        result += kPrinted;
        from = at + 2;
    }
    if (from == 0)
        return text;
    result += QStringView(text).mid(from);
    return result;
}

QString ReplacePageTags(const QString& text, const PageTags& tags) {
    QString result = text;
    for (const QString& form : tags.forms)
        result = ReplaceText(result, form, tags.replacement, 0);
    return result;
}

QList<ReferenceProblem> ConvertPage(const QString& pagePath, const QString& relativePath,
                                    const PageTags& tags, const ReferenceConverter& references,
                                    const QString& outputPath) {
    // Read as the browser shows the page; the template is served as UTF-8 whatever it declares.
    ReferenceConverter::Result converted =
        references.convert(NeutralisePhpOpenings(LoadPageFromFile(pagePath)), relativePath);
    Pause(1);
    // HTML, CSS and scripts all read CR LF and CR as LF, so one line ending loses nothing.
    const QString workingText =
        WithLineFeeds(ConvertedPageGuard() + ReplacePageTags(converted.text, tags));

    // An earlier output goes first, so a shorter text never leaves old bytes behind.
    if (PathExists(outputPath, false) && ::unlink(encodeUtf8Lossless(outputPath).constData()) != 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot delete"), outputPath);
    const int file = OpenFileForAppend(outputPath);
    try {
        WriteUTF8Text(file, workingText, false);
    } catch (...) {
        try {
            CloseFile(file);
        } catch (const FileError&) {
        }
        throw;
    }
    CloseFile(file);
    return converted.problems;
}

QList<ReferenceProblem> CheckSiteReferences(const QString& pagesFolder,
                                            const ReferenceConverter& references) {
    const SitePages& pages = references.pages();
    QStringList all{pages.front};
    if (pages.download != pages.front)
        all << pages.download;
    all += pages.others;
    QList<ReferenceProblem> problems;
    for (const QString& page : all)
        problems += references
                        .convert(NeutralisePhpOpenings(LoadPageFromFile(
                                     fromFsPath(toFsPath(pagesFolder) / toFsPath(page)))),
                                 page)
                        .problems;
    return problems;
}
