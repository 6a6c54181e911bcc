#include "ReferenceConverter.h"

#include "CharacterReferences.h"
#include "MarkupRegions.h"
#include "ReferenceResolution.h"
#include "UrlSpans.h"
#include "builder/PhpText.h"
#include "util/TextFile.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <vector>

namespace {

// How a region's text holds addresses.
enum class Role {
    Address,     // the whole value is one address
    AddressList, // a srcset list
    Style,       // a style sheet, or the declarations of a style attribute
    DataAddress, // a data-* value that is an address when it leads to a file
    ExactOnly,   // any other value: converted only when it is exactly a file's path
    Base,
    Script,
};

bool isMediaMeta(const QString& name) {
    return name.contains(QLatin1String("image")) || name.contains(QLatin1String("logo")) ||
           name.startsWith(QLatin1String("og:video")) || name.startsWith(QLatin1String("og:audio"));
}

Role roleOf(const MarkupRegion& region) {
    if (region.kind == MarkupRegion::Kind::Script)
        return Role::Script;
    if (region.kind == MarkupRegion::Kind::StyleSheet)
        return Role::Style;
    static const QSet<QString> addresses{
        QStringLiteral("href"),           QStringLiteral("src"),
        QStringLiteral("poster"),         QStringLiteral("action"),
        QStringLiteral("formaction"),     QStringLiteral("data"),
        QStringLiteral("background"),     QStringLiteral("xlink:href"),
        QStringLiteral("data-src"),       QStringLiteral("data-bg"),
        QStringLiteral("data-background")};
    static const QSet<QString> lists{QStringLiteral("srcset"), QStringLiteral("imagesrcset"),
                                     QStringLiteral("data-srcset")};
    const QString& name = region.attribute;
    if (region.element == QLatin1String("base") && name == QLatin1String("href"))
        return Role::Base;
    if (lists.contains(name))
        return Role::AddressList;
    if (name == QLatin1String("style"))
        return Role::Style;
    if (addresses.contains(name) ||
        (region.element == QLatin1String("meta") && name == QLatin1String("content") &&
         isMediaMeta(region.metaName)))
        return Role::Address;
    return name.startsWith(QLatin1String("data-")) ? Role::DataAddress : Role::ExactOnly;
}

bool reportsProblems(Role role) {
    return role == Role::Address || role == Role::AddressList || role == Role::Style ||
           role == Role::Base;
}

// A string in a script that looks like the path of a file a page loads.
bool looksLikeFilePath(const QString& text) {
    static const QRegularExpression path(
        QStringLiteral("^(?!\\w+:|//)[^\\s<>'\"`{}()]*[^\\s<>'\"`{}()/]\\.(png|jpe?g|gif|webp|"
                       "avif|svg|ico|bmp|css|js|mjs|json|html?|woff2?|ttf|otf|eot|mp4|webm|ogg|"
                       "mp3|wav|pdf|zip)([?#][^\\s]*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return text.size() < 1000 && path.match(text).hasMatch();
}

// An edit of a region's text: [start, end) replaced.
struct Edit {
    qsizetype start;
    qsizetype end;
    QString text;
};

QString applied(const QString& raw, const std::vector<Edit>& edits) {
    QString out;
    qsizetype from = 0;
    for (const Edit& edit : edits) {
        out += QStringView(raw).mid(from, edit.start - from);
        out += edit.text;
        from = edit.end;
    }
    out += QStringView(raw).mid(from);
    return out;
}

} // namespace

QString PageLinkExpression(const QString& pagePath) {
    return QStringLiteral("<?php echo esc_url( $page_url( %1 ) ); ?>")
        .arg(PhpSingleQuoted(pagePath));
}

// One page's conversion: its markup as UTF-8, the regions the tokenizer found in it, and the
// folder its relative addresses start from.
class ReferenceConverter::Pass {
public:
    Pass(const ReferenceConverter& site, const QString& text, const QString& pagePath)
        : site_(site), pagePath_(pagePath), text_(text), bytes_(encodeUtf8Lossless(text)),
          // Without a tag there is nothing a browser would load or follow.
          regions_(bytes_.contains('<') ? FindMarkupRegions(bytes_) : QList<MarkupRegion>()),
          base_(FolderOf(pagePath)) {
        for (qsizetype i = bytes_.indexOf('\n'); i >= 0; i = bytes_.indexOf('\n', i + 1))
            newlines_.push_back(i);
        findBase();
    }

    ReferenceConverter::Result convert() {
        ReferenceConverter::Result result;
        QByteArray out;
        qsizetype from = 0;
        for (const MarkupRegion& region : regions_) {
            const std::optional<QString> replaced = convertRegion(region, result.problems);
            if (!replaced)
                continue;
            out.append(bytes_.constData() + from, region.start - from);
            out += encodeUtf8Lossless(*replaced);
            from = region.end;
        }
        if (from == 0) {
            result.text = text_;
            return result;
        }
        out.append(bytes_.constData() + from, bytes_.size() - from);
        result.text = decodeUtf8Lossless(out);
        return result;
    }

    QStringList linkedFiles() {
        QStringList linked;
        for (const MarkupRegion& region : regions_) {
            if (region.kind != MarkupRegion::Kind::Attribute ||
                region.attribute != QLatin1String("href") || baseElsewhere_)
                continue;
            const DecodedText value = DecodeCharacterReferences(rawOf(region));
            if (const std::optional<QString> target = targetOf(ResolveReference(value.text, base_)))
                linked << *target;
        }
        return linked;
    }

private:
    QString rawOf(const MarkupRegion& region) const {
        return decodeUtf8Lossless(bytes_.mid(region.start, region.end - region.start));
    }

    // The first <base href> moves where relative addresses start, as in a browser; one that
    // names another site takes them all there.
    void findBase() {
        for (const MarkupRegion& region : regions_) {
            if (roleOf(region) != Role::Base)
                continue;
            baseStart_ = region.start;
            const DecodedText value = DecodeCharacterReferences(rawOf(region));
            const ResolvedReference r = ResolveReference(value.text, base_);
            if (r.kind == ResolvedReference::Kind::Elsewhere)
                baseElsewhere_ = true;
            else if (r.kind == ResolvedReference::Kind::InFolder)
                base_ = r.isFolder ? r.path : FolderOf(r.path);
            return;
        }
    }

    // The file or page of the folder an address leads to; a folder's address leads to its
    // index page.
    std::optional<QString> targetOf(const ResolvedReference& r) const {
        if (r.kind != ResolvedReference::Kind::InFolder)
            return std::nullopt;
        if (!r.isFolder)
            return site_.files_.contains(r.path) ? std::optional(r.path) : std::nullopt;
        for (const char* index : {"index.html", "index.htm"}) {
            const QString page =
                (r.path.isEmpty() ? QString() : r.path + QLatin1Char('/')) + QLatin1String(index);
            if (site_.files_.contains(page))
                return page;
        }
        return std::nullopt;
    }

    QString fromBase(const QString& relative) const {
        return base_.isEmpty() ? relative : base_ + QLatin1Char('/') + relative;
    }

    // What an address leading to target is written as; rawPath is its path as written.
    QString addressOf(const QString& target, QStringView rawPath, int line,
                      QList<ReferenceProblem>& problems) const {
        const SitePages& pages = site_.pages_;
        if (site_.pageFiles_.contains(target)) {
            if (target == pages.download && pagePath_ != pages.download) {
                problems.push_back(
                    {ReferenceProblem::Kind::DownloadLink, pagePath_, line, rawPath.toString()});
                return PageLinkExpression(pages.front);
            }
            return PageLinkExpression(target);
        }
        // A path written exactly as the file's stays as it was written.
        if (fromBase(rawPath.toString()) == target)
            return site_.fileUrlPrefix_ +
                   (base_.isEmpty() ? QString() : EncodeUrlPath(base_) + QLatin1Char('/')) +
                   rawPath.toString();
        return site_.fileUrlPrefix_ + EncodeUrlPath(target);
    }

    int lineAt(const MarkupRegion& region, const QString& raw, qsizetype rawIndex) const {
        const auto before = std::lower_bound(newlines_.begin(), newlines_.end(), region.start);
        return int(before - newlines_.begin()) + 1 +
               int(QStringView(raw).left(rawIndex).count(u'\n'));
    }

    // Converts the address at [start, start + length) of the decoded value; adds the edit of the
    // raw text, or a problem.
    void convertAddress(const MarkupRegion& region, Role role, const QString& raw,
                        const DecodedText* decoded, qsizetype start, qsizetype length,
                        std::vector<Edit>& edits, QList<ReferenceProblem>& problems) const {
        const auto rawAt = [&](qsizetype i) { return decoded ? decoded->rawIndex(i) : i; };
        const QString address = (decoded ? decoded->text : raw).mid(start, length);
        const ResolvedReference r = ResolveReference(address, base_);
        const qsizetype rawStart = rawAt(start + r.start);
        const qsizetype rawEnd = rawAt(start + r.pathEnd);
        const int line = lineAt(region, raw, rawStart);
        if (const std::optional<QString> target = targetOf(r)) {
            edits.push_back({rawStart, rawEnd,
                             addressOf(*target, QStringView(raw).mid(rawStart, rawEnd - rawStart),
                                       line, problems)});
            return;
        }
        if (!reportsProblems(role) || r.kind == ResolvedReference::Kind::Elsewhere ||
            r.kind == ResolvedReference::Kind::SameDocument)
            return;
        problems.push_back({r.kind == ResolvedReference::Kind::OutsideFolder
                                ? ReferenceProblem::Kind::OutsideFolder
                                : ReferenceProblem::Kind::NoSuchFile,
                            pagePath_, line, address.trimmed()});
    }

    std::optional<QString> convertRegion(const MarkupRegion& region,
                                         QList<ReferenceProblem>& problems) const {
        const Role role = roleOf(region);
        if (baseElsewhere_ && role != Role::Script && role != Role::ExactOnly)
            return std::nullopt;
        if (role == Role::ExactOnly && region.quote != u'"')
            return std::nullopt;
        const QString raw = rawOf(region);
        std::vector<Edit> edits;
        switch (role) {
        case Role::Base: {
            if (region.start != baseStart_) // browsers take the first base only
                break;
            const DecodedText value = DecodeCharacterReferences(raw);
            const ResolvedReference r = ResolveReference(value.text, FolderOf(pagePath_));
            if (r.kind != ResolvedReference::Kind::InFolder)
                break;
            // The base becomes the same folder in the plugin.
            edits.push_back(
                {value.rawIndex(r.start), value.rawIndex(r.pathEnd),
                 site_.fileUrlPrefix_ +
                     (base_.isEmpty() ? QString() : EncodeUrlPath(base_) + QLatin1Char('/'))});
            break;
        }
        case Role::Address:
        case Role::DataAddress: {
            const DecodedText value = DecodeCharacterReferences(raw);
            const bool leadsToFile = bool(targetOf(ResolveReference(value.text, base_)));
            // A value that is exactly a file's path was always converted, also where a browser
            // reads it otherwise.
            const std::optional<QString> exact =
                leadsToFile || region.quote != u'"' ? std::nullopt : exactTarget(raw);
            if (exact)
                edits.push_back(
                    {0, raw.size(), addressOf(*exact, raw, lineAt(region, raw, 0), problems)});
            else if (leadsToFile || role == Role::Address)
                convertAddress(region, role, raw, &value, 0, value.text.size(), edits, problems);
            break;
        }
        case Role::AddressList:
        case Role::Style: {
            // A style sheet's text is not markup: its "&" stays as written.
            const bool inAttribute = region.kind == MarkupRegion::Kind::Attribute;
            const DecodedText value = inAttribute ? DecodeCharacterReferences(raw) : DecodedText{};
            const QString& text = inAttribute ? value.text : raw;
            const QList<TextSpan> spans =
                role == Role::Style ? FindCssUrls(text) : FindSrcsetUrls(text);
            for (const TextSpan& span : spans)
                convertAddress(region, role, raw, inAttribute ? &value : nullptr, span.start,
                               span.length, edits, problems);
            break;
        }
        case Role::ExactOnly:
            if (const std::optional<QString> target = exactTarget(raw))
                edits.push_back(
                    {0, raw.size(), addressOf(*target, raw, lineAt(region, raw, 0), problems)});
            break;
        case Role::Script:
            for (const TextSpan& span : FindScriptStrings(raw)) {
                const QString text = raw.mid(span.start, span.length);
                const std::optional<QString> target =
                    span.quote == u'"' ? exactTarget(text) : std::nullopt;
                if (target)
                    edits.push_back(
                        {span.start, span.start + span.length,
                         addressOf(*target, text, lineAt(region, raw, span.start), problems)});
                else if (looksLikeFilePath(text))
                    problems.push_back({ReferenceProblem::Kind::InScript, pagePath_,
                                        lineAt(region, raw, span.start), text});
            }
            break;
        }
        if (edits.empty())
            return std::nullopt;
        return applied(raw, edits);
    }

    // The file a text names when it is exactly the file's path from where addresses start.
    std::optional<QString> exactTarget(const QString& text) const {
        if (text.isEmpty() || text.startsWith(u'/') || text.contains(QLatin1String("./")))
            return std::nullopt;
        const QString path = fromBase(text);
        return site_.files_.contains(path) ? std::optional(path) : std::nullopt;
    }

    const ReferenceConverter& site_;
    const QString& pagePath_;
    const QString& text_;
    QByteArray bytes_;
    QList<MarkupRegion> regions_;
    QString base_;
    bool baseElsewhere_ = false;
    qsizetype baseStart_ = -1;
    std::vector<qsizetype> newlines_;
};

ReferenceConverter::ReferenceConverter(const QStringList& files, SitePages pages,
                                       QString fileUrlPrefix)
    : files_(files.cbegin(), files.cend()), pages_(std::move(pages)),
      pageFiles_(pages_.others.cbegin(), pages_.others.cend()),
      fileUrlPrefix_(std::move(fileUrlPrefix)) {
    pageFiles_ << pages_.front << pages_.download;
}

ReferenceConverter::Result ReferenceConverter::convert(const QString& pageText,
                                                       const QString& pagePath) const {
    return Pass(*this, pageText, pagePath).convert();
}

QStringList ReferenceConverter::linkedFiles(const QString& pageText,
                                            const QString& pagePath) const {
    return Pass(*this, pageText, pagePath).linkedFiles();
}
