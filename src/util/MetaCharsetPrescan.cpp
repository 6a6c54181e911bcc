#include "MetaCharsetPrescan.h"

#include "PageEncoding.h"

#include <QList>
#include <optional>

namespace {

bool isSpace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}
bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool isLetter(char c) {
    return isUpper(c) || (c >= 'a' && c <= 'z');
}
char toLower(char c) {
    return isUpper(c) ? char(c - 'A' + 'a') : c;
}

// The label after "charset=" in a content attribute's (lower-cased) value, as
// "text/html; charset=iso-8859-1"; empty when there is none.
QByteArray charsetInContent(const QByteArray& value) {
    qsizetype pos = 0;
    for (;;) {
        pos = value.indexOf("charset", pos);
        if (pos < 0)
            return {};
        pos += 7;
        while (pos < value.size() && isSpace(value[pos]))
            ++pos;
        if (pos < value.size() && value[pos] == '=')
            break;
    }
    ++pos;
    while (pos < value.size() && isSpace(value[pos]))
        ++pos;
    if (pos == value.size())
        return {};
    const char first = value[pos];
    if (first == '"' || first == '\'') {
        const qsizetype close = value.indexOf(first, pos + 1);
        return close < 0 ? QByteArray() : value.mid(pos + 1, close - pos - 1);
    }
    qsizetype end = pos;
    while (end < value.size() && !isSpace(value[end]) && value[end] != ';')
        ++end;
    return value.mid(pos, end - pos);
}

struct Attribute {
    QByteArray name;
    QByteArray value;
};

// Running out of bytes anywhere ends the whole scan without a result: a declaration cut off at
// the scan's limit does not count.
class Prescan {
public:
    explicit Prescan(QByteArrayView bytes) : bytes_(bytes) {}

    QByteArray run() {
        for (; pos_ < bytes_.size(); ++pos_) {
            if (startsWith("<!--")) {
                const qsizetype end = bytes_.indexOf(QByteArrayView("-->"), pos_ + 2);
                if (end < 0)
                    return {};
                pos_ = end + 2;
            } else if (startsWithMeta()) {
                pos_ += 5;
                const std::optional<QByteArray> charset = readMeta();
                if (!charset)
                    return {};
                if (!charset->isEmpty())
                    return *charset;
            } else if (startsTag()) {
                while (pos_ < bytes_.size() && !isSpace(bytes_[pos_]) && bytes_[pos_] != '>')
                    ++pos_;
                Attribute ignored;
                Step step;
                while ((step = readAttribute(ignored)) == Step::Attribute) {
                }
                if (step == Step::OutOfBytes)
                    return {};
            } else if (startsWith("<!") || startsWith("</") || startsWith("<?")) {
                pos_ = bytes_.indexOf('>', pos_ + 1);
                if (pos_ < 0)
                    return {};
            }
        }
        return {};
    }

private:
    enum class Step { Attribute, NoMore, OutOfBytes };
    enum class NeedPragma { Unknown, Yes, No };

    bool startsWith(QByteArrayView text) const { return bytes_.sliced(pos_).startsWith(text); }

    bool startsWithMeta() const {
        if (pos_ + 5 >= bytes_.size())
            return false;
        const QByteArrayView word = bytes_.sliced(pos_, 5);
        const char after = bytes_[pos_ + 5];
        return word.compare("<meta", Qt::CaseInsensitive) == 0 && (isSpace(after) || after == '/');
    }

    bool startsTag() const {
        if (bytes_[pos_] != '<' || pos_ + 1 >= bytes_.size())
            return false;
        if (isLetter(bytes_[pos_ + 1]))
            return true;
        return bytes_[pos_ + 1] == '/' && pos_ + 2 < bytes_.size() && isLetter(bytes_[pos_ + 2]);
    }

    // The encoding a <meta> declares; empty when it declares none, nullopt when out of bytes.
    std::optional<QByteArray> readMeta() {
        QList<QByteArray> seen;
        bool gotPragma = false;
        NeedPragma need = NeedPragma::Unknown;
        QByteArray charset;
        for (;;) {
            Attribute attribute;
            const Step step = readAttribute(attribute);
            if (step == Step::OutOfBytes)
                return std::nullopt;
            if (step == Step::NoMore)
                break;
            if (seen.contains(attribute.name))
                continue;
            seen.append(attribute.name);
            if (attribute.name == "http-equiv") {
                gotPragma = gotPragma || attribute.value == "content-type";
            } else if (attribute.name == "content") {
                const QByteArray found = EncodingForLabel(charsetInContent(attribute.value));
                if (!found.isEmpty() && charset.isEmpty()) {
                    charset = found;
                    need = NeedPragma::Yes;
                }
            } else if (attribute.name == "charset") {
                charset = EncodingForLabel(attribute.value);
                need = NeedPragma::No;
            }
        }
        if (need == NeedPragma::Unknown || (need == NeedPragma::Yes && !gotPragma))
            return QByteArray();
        if (charset == "UTF-16LE" || charset == "UTF-16BE")
            return QByteArray("UTF-8");
        if (charset == "x-user-defined")
            return QByteArray("windows-1252");
        return charset;
    }

    // One attribute of a tag, names and values lower-cased; NoMore at the tag's end.
    Step readAttribute(Attribute& attribute) {
        while (pos_ < bytes_.size() && (isSpace(bytes_[pos_]) || bytes_[pos_] == '/'))
            ++pos_;
        if (pos_ >= bytes_.size())
            return Step::OutOfBytes;
        if (bytes_[pos_] == '>')
            return Step::NoMore;
        for (;; ++pos_) {
            if (pos_ >= bytes_.size())
                return Step::OutOfBytes;
            const char c = bytes_[pos_];
            if (c == '=' && !attribute.name.isEmpty()) {
                ++pos_;
                return readValue(attribute);
            }
            if (isSpace(c))
                break;
            if (c == '/' || c == '>')
                return Step::Attribute;
            attribute.name += toLower(c);
        }
        while (pos_ < bytes_.size() && isSpace(bytes_[pos_]))
            ++pos_;
        if (pos_ >= bytes_.size())
            return Step::OutOfBytes;
        if (bytes_[pos_] != '=')
            return Step::Attribute;
        ++pos_;
        return readValue(attribute);
    }

    Step readValue(Attribute& attribute) {
        while (pos_ < bytes_.size() && isSpace(bytes_[pos_]))
            ++pos_;
        if (pos_ >= bytes_.size())
            return Step::OutOfBytes;
        const char first = bytes_[pos_];
        if (first == '"' || first == '\'') {
            const qsizetype close = bytes_.indexOf(first, pos_ + 1);
            if (close < 0)
                return Step::OutOfBytes;
            for (++pos_; pos_ < close; ++pos_)
                attribute.value += toLower(bytes_[pos_]);
            ++pos_;
            return Step::Attribute;
        }
        if (first == '>')
            return Step::Attribute;
        for (; pos_ < bytes_.size(); ++pos_) {
            const char c = bytes_[pos_];
            if (isSpace(c) || c == '>')
                return Step::Attribute;
            attribute.value += toLower(c);
        }
        return Step::OutOfBytes;
    }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

} // namespace

QByteArray PrescanForCharset(QByteArrayView bytes) {
    return Prescan(bytes).run();
}
