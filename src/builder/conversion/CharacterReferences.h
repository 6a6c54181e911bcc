#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// Markup text with its character references (&amp;, &#47;, &quot; ...) decoded, and for each
// decoded character the place in the markup it came from, so a span found in the decoded text
// can be replaced in the markup as written.
struct DecodedText {
    QString text;
    // Where text[i] starts in the markup, and one more at the end; empty when the markup holds
    // no reference, so that every character stands where it was.
    std::vector<qsizetype> rawAt;

    qsizetype rawIndex(qsizetype i) const { return rawAt.empty() ? i : rawAt[size_t(i)]; }
};

// Decodes numeric references and the named ones that turn up in addresses and style sheets;
// others stay as written.
DecodedText DecodeCharacterReferences(QStringView raw);
