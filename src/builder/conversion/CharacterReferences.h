#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// Markup text with its character references (&amp;, &#47;, &quot; ...) decoded, and for each
// decoded character the place in the markup it came from, so a span found in the decoded text
// can be replaced in the markup as written.
struct DecodedText {
    QString text;
    std::vector<qsizetype>
        rawAt; // rawAt[i]: where text[i] starts in the markup; one more at the end
};

// Decodes numeric references and the named ones that turn up in addresses and style sheets;
// others stay as written.
DecodedText DecodeCharacterReferences(QStringView raw);
