// Times RewriteAssetPaths on a 1 MB page that refers to every asset of the list, for lists of
// 1,000 and 10,000 assets; the page has the same length in both cases. Two page shapes:
//   markup: 10,000 quoted references in both cases, those that are not assets pointing
//           elsewhere, so only the asset count changes;
//   prose:  the assets' references only, prose filling the rest, so the 10,000 page also has
//           ten times the markup.
#include "SiteGenerator.h"
#include "Stats.h"
#include "builder/PageConversion.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::uint64_t kPageBytes = 1000 * 1000;
constexpr int kMarkupReferences = 10000;

struct Case {
    std::string name;
    int assets;
    QString page;
    QStringList list;
    std::vector<double> millis;
};

Case makeCase(const std::string& shape, int assetCount) {
    bench::Random random(std::uint64_t(assetCount) * 7919);
    std::vector<bench::Asset> planned = bench::PlanAssetNames(assetCount - 2, random);
    std::vector<std::string> paths{"index.html", "download.html"};
    for (const bench::Asset& asset : planned)
        paths.push_back(asset.path);
    std::vector<std::string> references = paths;
    for (int i = assetCount; shape == "markup" && i < kMarkupReferences; ++i)
        references.push_back("https://cdn.example.net/lib/" + std::to_string(i) + ".jpg");
    for (size_t i = references.size(); i > 1; --i)
        std::swap(references[i - 1], references[random.between(0, i - 1)]);

    Case c{shape + "_" + std::to_string(assetCount), assetCount, {}, {}, {}};
    c.page =
        QString::fromStdString(bench::MakePage("Sales", "#FRONT#", references, kPageBytes, random));
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths)
        c.list << QString::fromStdString(path);
    return c;
}

double timeOnce(const Case& c, const QString& prefix, qsizetype& rewritten) {
    const auto start = std::chrono::steady_clock::now();
    const QString result = RewriteAssetPaths(c.page, c.list, prefix);
    const auto end = std::chrono::steady_clock::now();
    rewritten = result.count(prefix);
    return std::chrono::duration<double, std::milli>(end - start).count();
}

} // namespace

int main(int argc, char** argv) {
    int repetitions = 21;
    if (argc == 3 && !std::strcmp(argv[1], "--reps"))
        repetitions = std::max(1, std::atoi(argv[2]));
    std::vector<Case> cases;
    for (const char* shape : {"markup", "prose"})
        for (const int assets : {1000, 10000})
            cases.push_back(makeCase(shape, assets));
    const QString prefix = AssetUrlPrefix();

    for (Case& c : cases) {
        qsizetype rewritten = 0;
        timeOnce(c, prefix, rewritten); // warm-up, and a check that every reference is found
        if (rewritten != c.assets) {
            std::fprintf(stderr, "%s: %lld references rewritten, expected %d\n", c.name.c_str(),
                         static_cast<long long>(rewritten), c.assets);
            return 1;
        }
    }
    // Round robin, so that a burst of load elsewhere hits every case alike.
    for (int r = 0; r < repetitions; ++r)
        for (Case& c : cases) {
            qsizetype rewritten = 0;
            c.millis.push_back(timeOnce(c, prefix, rewritten));
        }
    for (const Case& c : cases)
        std::printf("rewrite_%s_page_chars=%lld\nrewrite_%s_ms=%.3f\nrewrite_%s_min_ms=%.3f\n",
                    c.name.c_str(), static_cast<long long>(c.page.size()), c.name.c_str(),
                    bench::Median(c.millis), c.name.c_str(), bench::Percentile(c.millis, 0));
    std::printf("rewrite_markup_ratio=%.3f\nrewrite_prose_ratio=%.3f\nrewrite_reps=%d\n",
                bench::Median(cases[1].millis) / bench::Median(cases[0].millis),
                bench::Median(cases[3].millis) / bench::Median(cases[2].millis), repetitions);
    return 0;
}
