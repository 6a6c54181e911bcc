#include "MarkupRegions.h"

#include <gumbo.h>

#include <QThread>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

class Walker {
public:
    explicit Walker(const QByteArray& page) : page_(page) {}

    QList<MarkupRegion> regions(GumboNode* root) {
        // A stack rather than recursion: pages may nest deeper than the call stack allows.
        std::vector<GumboNode*> pending{root};
        while (!pending.empty()) {
            GumboNode* node = pending.back();
            pending.pop_back();
            if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
                continue;
            const GumboElement& element = node->v.element;
            visit(element);
            for (unsigned i = element.children.length; i-- > 0;)
                pending.push_back(static_cast<GumboNode*>(element.children.data[i]));
        }
        std::sort(found_.begin(), found_.end(),
                  [](const MarkupRegion& a, const MarkupRegion& b) { return a.start < b.start; });
        // Elements the parser re-opens share their attributes' source with the first ones.
        QList<MarkupRegion> regions;
        for (MarkupRegion& region : found_) {
            if (regions.isEmpty() || region.start >= regions.last().end)
                regions.push_back(std::move(region));
        }
        return regions;
    }

private:
    bool inPage(const GumboStringPiece& piece) const {
        return piece.data >= page_.constData() && piece.length > 0 &&
               piece.data + piece.length <= page_.constData() + page_.size();
    }

    static QString tagName(const GumboElement& element) {
        if (element.tag != GUMBO_TAG_UNKNOWN)
            return QString::fromLatin1(gumbo_normalized_tagname(element.tag));
        GumboStringPiece name = element.original_tag;
        gumbo_tag_from_original_text(&name);
        return QString::fromUtf8(name.data, qsizetype(name.length)).toLower();
    }

    void visit(const GumboElement& element) {
        const QString tag = tagName(element);
        QString metaName;
        if (element.tag == GUMBO_TAG_META) {
            for (const char* key : {"property", "name", "itemprop"}) {
                if (const GumboAttribute* a = gumbo_get_attribute(&element.attributes, key)) {
                    metaName = QString::fromUtf8(a->value).toLower();
                    break;
                }
            }
        }
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
            const GumboStringPiece& value = attribute->original_value;
            if (!inPage(value))
                continue;
            MarkupRegion region;
            region.element = tag;
            region.attribute = QString::fromUtf8(attribute->name).toLower();
            region.metaName = metaName;
            region.start = value.data - page_.constData();
            region.end = region.start + qsizetype(value.length);
            const char first = value.data[0];
            if ((first == '"' || first == '\'') && value.length >= 2 &&
                value.data[value.length - 1] == first) {
                region.quote = QLatin1Char(first);
                ++region.start;
                --region.end;
            }
            found_.push_back(std::move(region));
        }
        const bool sheet = element.tag == GUMBO_TAG_STYLE;
        if (!sheet && element.tag != GUMBO_TAG_SCRIPT)
            return;
        for (unsigned i = 0; i < element.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(element.children.data[i]);
            if (child->type != GUMBO_NODE_TEXT && child->type != GUMBO_NODE_WHITESPACE &&
                child->type != GUMBO_NODE_CDATA)
                continue;
            const GumboStringPiece& text = child->v.text.original_text;
            if (!inPage(text))
                continue;
            MarkupRegion region;
            region.kind = sheet ? MarkupRegion::Kind::StyleSheet : MarkupRegion::Kind::Script;
            region.element = tag;
            region.start = text.data - page_.constData();
            region.end = region.start + qsizetype(text.length);
            found_.push_back(std::move(region));
        }
    }

    const QByteArray& page_;
    std::vector<MarkupRegion> found_;
};

QList<MarkupRegion> parsedRegions(const QByteArray& utf8Page) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // the page's own mistakes are the browser's to mend, not ours to list
    const auto destroy = [&options](GumboOutput* output) {
        gumbo_destroy_output(&options, output);
    };
    const std::unique_ptr<GumboOutput, decltype(destroy)> output(
        gumbo_parse_with_options(&options, utf8Page.constData(), size_t(utf8Page.size())), destroy);
    return Walker(utf8Page).regions(output->root);
}

} // namespace

QList<MarkupRegion> FindMarkupRegions(const QByteArray& utf8Page) {
    // The tokenizer builds and frees its tree recursively, so a page nested deeper than the
    // call stack holds would crash the program: it runs on a thread whose stack holds any page.
    // Only the pages touched are ever mapped.
    QList<MarkupRegion> regions;
    std::unique_ptr<QThread> parser(
        QThread::create([&regions, &utf8Page] { regions = parsedRegions(utf8Page); }));
    parser->setStackSize(1u << 30);
    parser->start();
    parser->wait();
    return regions;
}
