// Times the conversion of a page's references against the old rewrite, which only prefixed
// double-quoted exact paths. Pages of 1 MB that refer to every asset of the list, for lists of
// 1,000 and 10,000 assets, in two shapes:
//   markup: 10,000 quoted references in both cases, those that are not assets pointing
//           elsewhere, so only the asset count changes;
//   prose:  the assets' references only, prose filling the rest.
// And the markup page of 10,000 assets at twice the length with twice the references, to show
// the cost grows with the page.
#include "LegacyRewrite.h"
#include "SiteGenerator.h"
#include "Stats.h"
#include "builder/PageConversion.h"
#include "builder/conversion/MarkupRegions.h"
#include "builder/conversion/ReferenceConverter.h"
#include "util/TextFile.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <string>

namespace {

constexpr std::uint64_t kPageBytes = 1000 * 1000;
constexpr int kMarkupReferences = 10000;

struct Case {
    std::string name;
    int assets;
    QString page;
    QStringList list;
    std::unique_ptr<ReferenceConverter> converter;
    std::vector<double> legacyMillis;
    std::vector<double> newMillis;
    std::vector<double> tokenizerMillis;
};

// copies: the references and the page's length repeated, so the page is that many times as long.
Case makeCase(const std::string& shape, int assetCount, int copies = 1) {
    bench::Random random(std::uint64_t(assetCount) * 7919);
    std::vector<bench::Asset> planned = bench::PlanAssetNames(assetCount - 2, random);
    std::vector<std::string> paths{"index.html", "download.html"};
    for (const bench::Asset& asset : planned)
        paths.push_back(asset.path);
    std::vector<std::string> references = paths;
    for (int i = assetCount; shape == "markup" && i < kMarkupReferences; ++i)
        references.push_back("https://cdn.example.net/lib/" + std::to_string(i) + ".jpg");
    const std::vector<std::string> once = references;
    for (int copy = 1; copy < copies; ++copy)
        references.insert(references.end(), once.begin(), once.end());
    for (size_t i = references.size(); i > 1; --i)
        std::swap(references[i - 1], references[random.between(0, i - 1)]);

    Case c{shape + "_" + std::to_string(assetCount) + (copies > 1 ? "_twice" : ""),
           assetCount,
           {},
           {},
           {},
           {},
           {},
           {}};
    c.page = QString::fromStdString(bench::MakePage("Sales", "#FRONT#", references,
                                                    kPageBytes * std::uint64_t(copies), random));
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths)
        c.list << QString::fromStdString(path);
    // The pages are files of the site but not its pages here, so every reference is an asset's.
    c.converter = std::make_unique<ReferenceConverter>(
        c.list, SitePages{QStringLiteral("sales.html"), QStringLiteral("thanks.html"), {}},
        AssetUrlPrefix());
    return c;
}

template <typename Run> double timed(Run&& run, qsizetype& rewritten) {
    const auto start = std::chrono::steady_clock::now();
    const QString result = run();
    const auto end = std::chrono::steady_clock::now();
    rewritten = result.count(AssetUrlPrefix());
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double legacy(const Case& c, qsizetype& rewritten) {
    return timed([&] { return RewriteAssetPaths(c.page, c.list, AssetUrlPrefix()); }, rewritten);
}

double converted(const Case& c, qsizetype& rewritten) {
    return timed([&] { return c.converter->convert(c.page, QStringLiteral("index.html")).text; },
                 rewritten);
}

// The HTML5 tokenizer's share: the page's markup regions found, nothing converted.
double tokenized(const Case& c) {
    const QByteArray bytes = encodeUtf8Lossless(c.page);
    const auto start = std::chrono::steady_clock::now();
    const qsizetype regions = FindMarkupRegions(bytes).size();
    const auto end = std::chrono::steady_clock::now();
    return regions > 0 ? std::chrono::duration<double, std::milli>(end - start).count() : -1;
}

} // namespace

int main(int argc, char** argv) {
    // The programs convert each page once; here the same pages are converted again and again,
    // and glibc would hand the freed markup tree back to the system every time and fault it in
    // anew, at a cost that grows faster than the page. Keep it, as a single conversion never pays.
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    int repetitions = 21;
    if (argc == 3 && !std::strcmp(argv[1], "--reps"))
        repetitions = std::max(1, std::atoi(argv[2]));
    std::vector<Case> cases;
    for (const char* shape : {"markup", "prose"})
        for (const int assets : {1000, 10000})
            cases.push_back(makeCase(shape, assets));
    cases.push_back(makeCase("markup", 10000, 2));

    for (Case& c : cases) {
        // A warm-up, and a check that both find every reference.
        qsizetype byLegacy = 0, byNew = 0;
        legacy(c, byLegacy);
        converted(c, byNew);
        if (byNew < c.assets || byLegacy < c.assets) {
            std::fprintf(stderr, "%s: %lld and %lld references rewritten, expected %d\n",
                         c.name.c_str(), static_cast<long long>(byLegacy),
                         static_cast<long long>(byNew), c.assets);
            return 1;
        }
    }
    // Round robin, so that a burst of load elsewhere hits every case alike.
    for (int r = 0; r < repetitions; ++r)
        for (Case& c : cases) {
            qsizetype rewritten = 0;
            c.legacyMillis.push_back(legacy(c, rewritten));
            c.newMillis.push_back(converted(c, rewritten));
            c.tokenizerMillis.push_back(tokenized(c));
        }
    for (const Case& c : cases)
        std::printf("rewrite_%s_page_chars=%lld\nrewrite_%s_legacy_ms=%.3f\nrewrite_%s_ms=%.3f\n"
                    "rewrite_%s_tokenizer_ms=%.3f\n",
                    c.name.c_str(), static_cast<long long>(c.page.size()), c.name.c_str(),
                    bench::Median(c.legacyMillis), c.name.c_str(), bench::Median(c.newMillis),
                    c.name.c_str(), bench::Median(c.tokenizerMillis));
    const auto ratio = [](const std::vector<double>& a, const std::vector<double>& b) {
        return bench::Median(a) / bench::Median(b);
    };
    std::printf("rewrite_vs_legacy_ratio=%.3f\nrewrite_assets_ratio=%.3f\n"
                "rewrite_prose_assets_ratio=%.3f\nrewrite_size_ratio=%.3f\nrewrite_reps=%d\n",
                ratio(cases[1].newMillis, cases[1].legacyMillis),
                ratio(cases[1].newMillis, cases[0].newMillis),
                ratio(cases[3].newMillis, cases[2].newMillis),
                ratio(cases[4].newMillis, cases[1].newMillis), repetitions);
    return 0;
}
