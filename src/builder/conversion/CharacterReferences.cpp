#include "CharacterReferences.h"

#include <QHash>

namespace {

const QHash<QString, char32_t>& namedReferences() {
    static const QHash<QString, char32_t> named{
        {QStringLiteral("amp"), '&'},     {QStringLiteral("quot"), '"'},
        {QStringLiteral("apos"), '\''},   {QStringLiteral("lt"), '<'},
        {QStringLiteral("gt"), '>'},      {QStringLiteral("nbsp"), 0xA0},
        {QStringLiteral("sol"), '/'},     {QStringLiteral("bsol"), '\\'},
        {QStringLiteral("quest"), '?'},   {QStringLiteral("num"), '#'},
        {QStringLiteral("percnt"), '%'},  {QStringLiteral("period"), '.'},
        {QStringLiteral("colon"), ':'},   {QStringLiteral("equals"), '='},
        {QStringLiteral("comma"), ','},   {QStringLiteral("lpar"), '('},
        {QStringLiteral("rpar"), ')'},    {QStringLiteral("semi"), ';'},
        {QStringLiteral("excl"), '!'},    {QStringLiteral("plus"), '+'},
        {QStringLiteral("lowbar"), '_'},  {QStringLiteral("tilde"), '~'},
        {QStringLiteral("dollar"), '$'},  {QStringLiteral("commat"), '@'},
        {QStringLiteral("Tab"), '\t'},    {QStringLiteral("NewLine"), '\n'},
        {QStringLiteral("hyphen"), '-'},  {QStringLiteral("dash"), 0x2010},
        {QStringLiteral("lsqb"), '['},    {QStringLiteral("rsqb"), ']'},
        {QStringLiteral("lcub"), '{'},    {QStringLiteral("rcub"), '}'},
        {QStringLiteral("ast"), '*'},     {QStringLiteral("verbar"), '|'},
        {QStringLiteral("eacute"), 0xE9}, {QStringLiteral("copy"), 0xA9}};
    return named;
}

int digitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    const int value = (u >= '0' && u <= '9')   ? u - '0'
                      : (u >= 'a' && u <= 'f') ? u - 'a' + 10
                      : (u >= 'A' && u <= 'F') ? u - 'A' + 10
                                               : 99;
    return value < base ? value : -1;
}

bool isAsciiAlnum(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// The code point a reference starting at raw[at] ('&') stands for, and its length; 0 when the
// text there is no reference this decoder knows.
std::pair<char32_t, qsizetype> referenceAt(QStringView raw, qsizetype at) {
    qsizetype i = at + 1;
    if (i < raw.size() && raw[i] == u'#') {
        ++i;
        const bool hex = i < raw.size() && (raw[i] == u'x' || raw[i] == u'X');
        if (hex)
            ++i;
        const qsizetype digits = i;
        char32_t code = 0;
        for (; i < raw.size(); ++i) {
            const int digit = digitValue(raw[i], hex ? 16 : 10);
            if (digit < 0)
                break;
            code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(digit), 0x110000);
        }
        if (i == digits)
            return {0, 0};
        if (i < raw.size() && raw[i] == u';')
            ++i;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        return {code, i - at};
    }
    while (i < raw.size() && isAsciiAlnum(raw[i]))
        ++i;
    if (i == at + 1 || i >= raw.size() || raw[i] != u';')
        return {0, 0};
    const auto found = namedReferences().constFind(raw.mid(at + 1, i - at - 1).toString());
    if (found == namedReferences().constEnd())
        return {0, 0};
    return {found.value(), i + 1 - at};
}

} // namespace

DecodedText DecodeCharacterReferences(QStringView raw) {
    if (!raw.contains(u'&'))
        return {raw.toString(), {}};
    DecodedText out;
    out.text.reserve(raw.size());
    out.rawAt.reserve(size_t(raw.size()) + 1);
    for (qsizetype i = 0; i < raw.size();) {
        const auto [code, length] =
            raw[i] == u'&' ? referenceAt(raw, i) : std::pair<char32_t, qsizetype>{0, 0};
        if (length == 0) {
            out.text += raw[i];
            out.rawAt.push_back(i);
            ++i;
            continue;
        }
        const QString decoded = QString::fromUcs4(&code, 1);
        for (const QChar c : decoded) {
            out.text += c;
            out.rawAt.push_back(i);
        }
        i += length;
    }
    out.rawAt.push_back(raw.size());
    return out;
}
