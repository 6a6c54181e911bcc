#include "UrlSpans.h"

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isIdentifierChar(QChar c) {
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'\\';
}

bool startsWithAt(QStringView text, qsizetype at, QLatin1StringView word) {
    return text.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// The end of a quoted string starting at text[open]: the closing quote, or the end of the line
// (style sheets) or text where it is never closed.
qsizetype closingQuote(QStringView text, qsizetype open, bool stopAtLineEnd) {
    const QChar quote = text[open];
    qsizetype i = open + 1;
    while (i < text.size() && text[i] != quote && !(stopAtLineEnd && text[i] == u'\n'))
        i += text[i] == u'\\' ? 2 : 1;
    return std::min(i, text.size());
}

qsizetype skipComment(QStringView text, qsizetype at) {
    const qsizetype close = text.indexOf(u"*/", at + 2);
    return close < 0 ? text.size() : close + 2;
}

} // namespace

QList<TextSpan> FindCssUrls(QStringView css) {
    QList<TextSpan> spans;
    bool afterImport = false;
    for (qsizetype i = 0; i < css.size();) {
        const QChar c = css[i];
        if (c == u'/' && i + 1 < css.size() && css[i + 1] == u'*') {
            i = skipComment(css, i);
        } else if (c == u'"' || c == u'\'') {
            const qsizetype close = closingQuote(css, i, true);
            if (afterImport)
                spans.push_back({i + 1, close - i - 1, c});
            afterImport = false;
            i = close + 1;
        } else if (c == u'@' && startsWithAt(css, i + 1, QLatin1StringView("import"))) {
            afterImport = true;
            i += 7;
        } else if ((c == u'u' || c == u'U') && startsWithAt(css, i, QLatin1StringView("url(")) &&
                   (i == 0 || !isIdentifierChar(css[i - 1]))) {
            qsizetype at = i + 4;
            while (at < css.size() && isBlank(css[at]))
                ++at;
            if (at < css.size() && (css[at] == u'"' || css[at] == u'\'')) {
                const qsizetype close = closingQuote(css, at, true);
                spans.push_back({at + 1, close - at - 1, css[at]});
                i = close + 1;
            } else {
                qsizetype end = at;
                while (end < css.size() && css[end] != u')' && !isBlank(css[end]))
                    ++end;
                if (end > at)
                    spans.push_back({at, end - at, QChar()});
                i = end;
            }
            afterImport = false;
        } else {
            if (!isBlank(c))
                afterImport = false;
            ++i;
        }
    }
    return spans;
}

QList<TextSpan> FindSrcsetUrls(QStringView srcset) {
    QList<TextSpan> spans;
    qsizetype i = 0;
    while (i < srcset.size()) {
        while (i < srcset.size() && (isBlank(srcset[i]) || srcset[i] == u','))
            ++i;
        if (i >= srcset.size())
            break;
        const qsizetype start = i;
        while (i < srcset.size() && !isBlank(srcset[i]))
            ++i;
        qsizetype end = i;
        const bool endsCandidate = srcset[end - 1] == u',';
        while (end > start && srcset[end - 1] == u',')
            --end;
        if (end > start)
            spans.push_back({start, end - start, QChar()});
        if (endsCandidate)
            continue;
        // Descriptors run to the next comma outside parentheses.
        int depth = 0;
        for (; i < srcset.size(); ++i) {
            if (srcset[i] == u'(')
                ++depth;
            else if (srcset[i] == u')' && depth > 0)
                --depth;
            else if (srcset[i] == u',' && depth == 0)
                break;
        }
    }
    return spans;
}

QList<TextSpan> FindScriptStrings(QStringView script) {
    QList<TextSpan> spans;
    for (qsizetype i = 0; i < script.size();) {
        const QChar c = script[i];
        if (c == u'/' && i + 1 < script.size() && script[i + 1] == u'*') {
            i = skipComment(script, i);
        } else if (c == u'/' && i + 1 < script.size() && script[i + 1] == u'/') {
            const qsizetype lineEnd = script.indexOf(u'\n', i);
            i = lineEnd < 0 ? script.size() : lineEnd + 1;
        } else if (c == u'"' || c == u'\'' || c == u'`') {
            const qsizetype close = closingQuote(script, i, c != u'`');
            spans.push_back({i + 1, close - i - 1, c});
            i = close + 1;
        } else {
            ++i;
        }
    }
    return spans;
}
