// The asset rewrite conversion used before pages were read by an HTML5 tokenizer: every
// double-quoted exact path of a listed file got the prefix, as a replace-all per file would do
// it, in one pass over the page. Kept as the baseline the conversion's speed is measured against.
#include "LegacyRewrite.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

namespace {

constexpr QChar kQuote = QLatin1Char('"');

QString rewriteOneByOne(QString text, const QStringList& assets, const QString& urlPrefix) {
    for (const QString& asset : assets)
        text.replace(kQuote + asset + kQuote, kQuote + urlPrefix + asset + kQuote,
                     Qt::CaseSensitive);
    return text;
}

// When neither the assets nor the prefix hold a double quote, no replacement adds or removes
// one: the text stays a fixed row of quotes, and "asset" can only match the stretch between two
// neighbouring quotes. Each pass then only visits the stretches that hold that asset's text.
class QuotedStretches {
public:
    QuotedStretches(const QString& text, const QStringList& assets, const QString& urlPrefix)
        : text_(text), prefix_(urlPrefix), wanted_(assets.cbegin(), assets.cend()) {
        for (qsizetype i = text.indexOf(kQuote); i >= 0; i = text.indexOf(kQuote, i + 1))
            quotes_.push_back(i);
        prefixCount_.assign(quotes_.empty() ? 0 : quotes_.size() - 1, 0);
        for (size_t s = 0; s < prefixCount_.size(); ++s) {
            const QString inner = text.mid(quotes_[s] + 1, quotes_[s + 1] - quotes_[s] - 1);
            if (wanted_.contains(inner))
                holding_[inner].push_back(int(s));
        }
    }

    void replaceAll(const QString& asset) {
        auto found = holding_.find(asset);
        if (found == holding_.end())
            return;
        std::vector<int> candidates = std::move(found.value());
        std::vector<int> blocked, replaced;
        int last = -2;
        for (const int s : candidates) {
            // A match takes its closing quote with it, so the next stretch cannot match now.
            if (s == last + 1) {
                blocked.push_back(s);
                continue;
            }
            replaced.push_back(s);
            last = s;
            ++prefixCount_[size_t(s)];
        }
        found.value() = std::move(blocked);
        const QString grown = prefix_ + asset;
        if (!replaced.empty() && wanted_.contains(grown)) {
            std::vector<int>& holders = holding_[grown];
            const auto middle = holders.insert(holders.end(), replaced.begin(), replaced.end());
            std::inplace_merge(holders.begin(), middle, holders.end());
        }
    }

    QString result() const {
        QString out;
        qsizetype from = 0;
        for (size_t s = 0; s < prefixCount_.size(); ++s) {
            if (prefixCount_[s] == 0)
                continue;
            const qsizetype at = quotes_[s] + 1;
            out += QStringView(text_).mid(from, at - from);
            for (int k = 0; k < prefixCount_[s]; ++k)
                out += prefix_;
            from = at;
        }
        out += QStringView(text_).mid(from);
        return out;
    }

private:
    const QString& text_;
    const QString& prefix_;
    QSet<QString> wanted_;
    std::vector<qsizetype> quotes_;
    std::vector<int> prefixCount_;             // how often the prefix went in front of each stretch
    QHash<QString, std::vector<int>> holding_; // asset text -> stretches holding it, in order
};

// The common case in one pass: no asset is listed twice and none starts with the prefix, so a
// rewritten stretch never matches again and the assets' order does not matter. Of neighbouring
// stretches with the same asset, a replace-all takes every other one: a match uses up the quote
// the next stretch would start with.
bool rewriteInOnePass(const QString& text, const QStringList& assets, const QString& urlPrefix,
                      QString& result) {
    QHash<QStringView, bool> known;
    known.reserve(assets.size());
    qsizetype longest = 0;
    for (const QString& asset : assets) {
        if (asset.startsWith(urlPrefix))
            return false;
        known.insert(QStringView(asset), true);
        longest = std::max(longest, asset.size());
    }
    if (known.size() != assets.size())
        return false;
    std::vector<bool> lengthUsed(size_t(longest) + 1, false);
    for (const QString& asset : assets)
        lengthUsed[size_t(asset.size())] = true;

    std::vector<qsizetype> insertAt;
    QStringView previous;
    bool previousReplaced = false;
    for (qsizetype open = text.indexOf(kQuote); open >= 0;) {
        const qsizetype close = text.indexOf(kQuote, open + 1);
        if (close < 0)
            break;
        const qsizetype length = close - open - 1;
        bool replaced = false;
        if (length <= longest && lengthUsed[size_t(length)]) {
            const QStringView inner = QStringView(text).mid(open + 1, length);
            replaced = known.contains(inner) && !(previousReplaced && inner == previous);
            if (replaced) {
                insertAt.push_back(open + 1);
                previous = inner;
            }
        }
        previousReplaced = replaced;
        open = close;
    }

    result.clear();
    result.reserve(text.size() + qsizetype(insertAt.size()) * urlPrefix.size());
    qsizetype from = 0;
    for (const qsizetype at : insertAt) {
        result += QStringView(text).mid(from, at - from);
        result += urlPrefix;
        from = at;
    }
    result += QStringView(text).mid(from);
    return true;
}

} // namespace

QString RewriteAssetPaths(const QString& text, const QStringList& assets,
                          const QString& urlPrefix) {
    if (assets.isEmpty() || urlPrefix.isEmpty())
        return text;
    const bool quotesStay = !urlPrefix.contains(kQuote) &&
                            std::none_of(assets.cbegin(), assets.cend(),
                                         [](const QString& a) { return a.contains(kQuote); });
    if (!quotesStay)
        return rewriteOneByOne(text, assets, urlPrefix);
    QString result;
    if (rewriteInOnePass(text, assets, urlPrefix, result))
        return result;
    QuotedStretches stretches(text, assets, urlPrefix);
    for (const QString& asset : assets)
        stretches.replaceAll(asset);
    return stretches.result();
}
