#include "SiteGenerator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace bench {

namespace {

std::uint64_t splitMix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

constexpr std::array kWords{
    "herbs",   "balcony", "garden",    "starter", "guide",  "water",    "light",  "soil",
    "basil",   "mint",    "thyme",     "pot",     "seed",   "harvest",  "daily",  "simple",
    "grow",    "your",    "own",       "fresh",   "with",   "this",     "easy",   "plan",
    "the",     "and",     "for",       "every",   "day",    "week",     "month",  "step",
    "chapter", "bonus",   "checklist", "video",   "print",  "today",    "offer",  "price",
    "only",    "now",     "secure",    "instant", "access", "download", "member", "thanks"};

void appendWords(std::string& out, std::uint64_t bytes, Random& random) {
    const std::uint64_t end = out.size() + bytes;
    while (out.size() < end) {
        out += kWords[random.between(0, kWords.size() - 1)];
        out += random.between(0, 11) == 0 ? ". " : " ";
    }
    out.resize(end);
}

struct KindInfo {
    AssetKind kind;
    int weight; // how often the kind is drawn, out of 100
    const char* folder;
    std::uint64_t minSize, maxSize;
    Content content;
};

constexpr std::array kKinds{
    KindInfo{AssetKind::Image, 55, "images", 8u << 10, 300u << 10, Content::Random},
    KindInfo{AssetKind::Style, 4, "css", 2u << 10, 60u << 10, Content::Words},
    KindInfo{AssetKind::Script, 5, "js", 4u << 10, 120u << 10, Content::Words},
    KindInfo{AssetKind::Text, 6, "notes", 1u << 10, 40u << 10, Content::Words},
    KindInfo{AssetKind::Document, 12, "docs", 100u << 10, 4u << 20, Content::Random},
    KindInfo{AssetKind::Archive, 6, "downloads", 200u << 10, 6u << 20, Content::Random},
    KindInfo{AssetKind::Font, 4, "fonts", 20u << 10, 150u << 10, Content::Random},
    KindInfo{AssetKind::Media, 8, "media", 500u << 10, 8u << 20, Content::Random},
};

// A typical product site: a few long videos and downloads, many pictures, and a guide.
struct ProductPart {
    AssetKind kind;
    const char* folder;
    double byteShare; // of the whole site, the two pages counted with the other pages
    double fileShare; // of the files besides the two pages
    Content content;
};

constexpr std::array kProductParts{
    ProductPart{AssetKind::Media, "videos", 0.40, 0.03, Content::Random},
    ProductPart{AssetKind::Image, "images", 0.25, 0.70, Content::Random},
    ProductPart{AssetKind::Archive, "downloads", 0.15, 0.03, Content::Random},
    ProductPart{AssetKind::Document, "guide", 0.15, 0.06, Content::HalfRandom},
    ProductPart{AssetKind::Page, "chapters", 0.035, 0.12, Content::Words},
    ProductPart{AssetKind::Style, "css", 0.015, 0.06, Content::Words},
};

const KindInfo& infoOf(AssetKind kind) {
    for (const KindInfo& info : kKinds)
        if (info.kind == kind)
            return info;
    return kKinds[0];
}

std::string fileName(AssetKind kind, int index) {
    char name[64];
    switch (kind) {
    case AssetKind::Image:
        if (index % 37 == 5) // some names as cameras and people write them
            std::snprintf(name, sizeof name, "Photo %05d.JPG", index);
        else
            std::snprintf(name, sizeof name, "img%05d.%s", index,
                          index % 3 == 0 ? "jpg" : (index % 3 == 1 ? "png" : "gif"));
        break;
    case AssetKind::Style:
        std::snprintf(name, sizeof name, "style%03d.css", index);
        break;
    case AssetKind::Script:
        std::snprintf(name, sizeof name, "app%03d.js", index);
        break;
    case AssetKind::Text:
        std::snprintf(name, sizeof name, "notes%03d.txt", index);
        break;
    case AssetKind::Document:
        std::snprintf(name, sizeof name, "guide-%04d.pdf", index);
        break;
    case AssetKind::Archive:
        std::snprintf(name, sizeof name, "bonus_%04d.zip", index);
        break;
    case AssetKind::Font:
        std::snprintf(name, sizeof name, "font%03d.woff2", index);
        break;
    case AssetKind::Media:
        std::snprintf(name, sizeof name, index % 2 ? "clip%04d.mp4" : "track%04d.mp3", index);
        break;
    case AssetKind::Page:
        std::snprintf(name, sizeof name, "page%04d.html", index);
        break;
    }
    return name;
}

std::string productFileName(AssetKind kind, int index) {
    char name[64];
    switch (kind) {
    case AssetKind::Media:
        std::snprintf(name, sizeof name, "lesson-%02d.mp4", index + 1);
        break;
    case AssetKind::Image:
        if (index % 10 == 3) // as cameras name them
            std::snprintf(name, sizeof name, "IMG_%04d.JPG", index);
        else
            std::snprintf(name, sizeof name, index % 2 ? "photo-%03d.jpg" : "screen-%03d.png",
                          index);
        break;
    case AssetKind::Archive:
        std::snprintf(name, sizeof name, "bonus-pack-%02d.zip", index + 1);
        break;
    case AssetKind::Document:
        std::snprintf(name, sizeof name, "guide-part-%02d.pdf", index + 1);
        break;
    case AssetKind::Page:
        std::snprintf(name, sizeof name, "chapter-%02d.html", index + 1);
        break;
    default:
        std::snprintf(name, sizeof name, "style-%02d.css", index + 1);
        break;
    }
    return name;
}

// At most a hundred files a folder: beyond that they go into numbered subfolders.
std::string groupedPath(const std::string& folder, int index, const std::string& name) {
    if (index < 100)
        return folder + "/" + name;
    char group[16];
    std::snprintf(group, sizeof group, "/g%02d/", index / 100);
    return folder + group + name;
}

// Sizes drawn from [low, high] and scaled so that they add up to budget.
void spreadBytes(std::vector<Asset*>& assets, std::uint64_t budget, std::uint64_t low,
                 std::uint64_t high, Random& random) {
    std::vector<double> raw(assets.size());
    double rawSum = 0;
    for (double& r : raw) {
        r = double(random.between(low, high));
        rawSum += r;
    }
    std::uint64_t given = 0;
    size_t largest = 0;
    for (size_t i = 0; i < assets.size(); ++i) {
        assets[i]->size = std::uint64_t(raw[i] / rawSum * double(budget));
        given += assets[i]->size;
        if (assets[i]->size > assets[largest]->size)
            largest = i;
    }
    if (!assets.empty() && given < budget)
        assets[largest]->size += budget - given;
}

SitePlan planProductSite(const SiteParameters& parameters) {
    const int count = parameters.files - 2;
    if (count < int(kProductParts.size()))
        throw std::invalid_argument("a product site needs at least " +
                                    std::to_string(kProductParts.size() + 2) + " files");
    Random random(parameters.seed);
    SitePlan plan;
    std::vector<int> counts;
    int left = count;
    for (const ProductPart& part : kProductParts) {
        const int n = std::max(1, int(part.fileShare * count + 0.5));
        counts.push_back(n);
        left -= n;
    }
    counts[1] = std::max(1, counts[1] + left); // the pictures take up the rounding
    std::vector<std::string> front, download;
    for (size_t p = 0; p < kProductParts.size(); ++p) {
        const ProductPart& part = kProductParts[p];
        for (int i = 0; i < counts[p]; ++i) {
            plan.assets.push_back({groupedPath(part.folder, i, productFileName(part.kind, i)),
                                   part.kind, 0, part.content});
            const bool shown = part.kind == AssetKind::Image || part.kind == AssetKind::Style;
            (shown ? front : download).push_back(plan.assets.back().path);
        }
    }
    plan.frontPage = MakePage("Balcony Herbs", "#FRONT#", front, parameters.pageBytes, random);
    plan.downloadPage = MakePage("Your Download", "#BACK#", download, parameters.pageBytes, random);

    const std::uint64_t pages = plan.frontPage.size() + plan.downloadPage.size();
    size_t first = 0;
    for (size_t p = 0; p < kProductParts.size(); ++p) {
        const ProductPart& part = kProductParts[p];
        std::uint64_t budget = std::uint64_t(part.byteShare * double(parameters.totalBytes));
        if (part.kind == AssetKind::Page)
            budget = budget > pages ? budget - pages : 0;
        std::vector<Asset*> assets;
        for (int i = 0; i < counts[p]; ++i)
            assets.push_back(&plan.assets[first + size_t(i)]);
        spreadBytes(assets, budget, 100, 300, random);
        first += size_t(counts[p]);
    }
    return plan;
}

std::string referenceMarkup(const std::string& path) {
    auto endsWith = [&](const char* suffix) {
        const std::string s(suffix);
        return path.size() >= s.size() && path.compare(path.size() - s.size(), s.size(), s) == 0;
    };
    if (endsWith(".css"))
        return "<link rel=\"stylesheet\" href=\"" + path + "\">\n";
    if (endsWith(".js"))
        return "<script src=\"" + path + "\"></script>\n";
    if (endsWith(".jpg") || endsWith(".png") || endsWith(".gif") || endsWith(".JPG"))
        return "<img src=\"" + path + "\" alt=\"\">\n";
    return "<a class=\"file\" href=\"" + path + "\">Get it</a>\n";
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace

Random::Random(std::uint64_t seed) {
    for (std::uint64_t& word : s_)
        word = splitMix(seed);
}

std::uint64_t Random::next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

std::uint64_t Random::between(std::uint64_t low, std::uint64_t high) {
    return low + next() % (high - low + 1);
}

void Random::fill(char* data, std::size_t size) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t word = next();
        std::copy_n(reinterpret_cast<const char*>(&word), 8, data + i);
    }
    const std::uint64_t word = next();
    std::copy_n(reinterpret_cast<const char*>(&word), size - i, data + i);
}

std::vector<Asset> PlanAssetNames(int count, Random& random) {
    std::vector<Asset> assets;
    assets.reserve(size_t(std::max(count, 0)));
    std::array<int, kKinds.size()> used{};
    for (int i = 0; i < count; ++i) {
        int draw = int(random.between(0, 99));
        size_t k = 0;
        while (draw >= kKinds[k].weight) {
            draw -= kKinds[k].weight;
            ++k;
        }
        const KindInfo& info = kKinds[k];
        const int index = used[k]++;
        assets.push_back({groupedPath(info.folder, index, fileName(info.kind, index)), info.kind, 0,
                          info.content});
    }
    return assets;
}

std::string MakePage(const std::string& title, const std::string& tag,
                     const std::vector<std::string>& references, std::uint64_t targetBytes,
                     Random& random) {
    std::vector<std::string> markup;
    markup.reserve(references.size());
    std::uint64_t fixed = 0;
    for (const std::string& reference : references) {
        markup.push_back(referenceMarkup(reference));
        fixed += markup.back().size();
    }
    const std::string head = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">"
                             "\n<title>" +
                             title + "</title>\n</head>\n<body>\n<div class=\"page\">\n<h1>" +
                             title + "</h1>\n";
    const std::string tail = "</div>\n</body>\n</html>\n";
    const std::string tagBlock = "<div class=\"order\" id=\"order\">" + tag + "</div>\n";
    const std::string paragraphOpen = "<p class=\"text\">", paragraphClose = "</p>\n";
    fixed += head.size() + tail.size() + tagBlock.size();

    // The prose fills what the markup leaves, spread evenly between the references.
    const std::uint64_t slots = references.size() + 1;
    const std::uint64_t perSlotMarkup = paragraphOpen.size() + paragraphClose.size();
    std::uint64_t fill = targetBytes > fixed + slots * perSlotMarkup
                             ? targetBytes - fixed - slots * perSlotMarkup
                             : 0;
    std::string page;
    page.reserve(std::max<std::uint64_t>(targetBytes, fixed) + 64);
    page += head;
    const size_t tagAt = references.size() / 3;
    for (size_t slot = 0; slot < slots; ++slot) {
        const std::uint64_t words = fill / (slots - slot);
        fill -= words;
        if (words > 0) {
            page += paragraphOpen;
            appendWords(page, words, random);
            page += paragraphClose;
        }
        if (slot == tagAt)
            page += tagBlock;
        if (slot < references.size())
            page += markup[slot];
    }
    page += tail;
    return page;
}

SitePlan PlanSite(const SiteParameters& parameters) {
    if (parameters.shape == SiteShape::Product)
        return planProductSite(parameters);
    Random random(parameters.seed);
    SitePlan plan;
    plan.assets = PlanAssetNames(std::max(parameters.files - 2, 0), random);

    // References run through the assets in a shuffled order, again and again if need be.
    std::vector<size_t> order(plan.assets.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    for (size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[random.between(0, i - 1)]);
    std::vector<std::string> front, download;
    const int frontCount = (parameters.references + 1) / 2;
    for (int r = 0; r < parameters.references && !order.empty(); ++r)
        (r < frontCount ? front : download)
            .push_back(plan.assets[order[size_t(r) % order.size()]].path);
    plan.frontPage = MakePage("Balcony Herbs", "#FRONT#", front, parameters.pageBytes, random);
    plan.downloadPage = MakePage("Your Download", "#BACK#", download, parameters.pageBytes, random);

    // Sizes drawn per kind, then scaled so that the whole site has the asked size.
    const std::uint64_t pages = plan.frontPage.size() + plan.downloadPage.size();
    const std::uint64_t budget = parameters.totalBytes > pages ? parameters.totalBytes - pages : 0;
    std::vector<double> raw(plan.assets.size());
    double rawSum = 0;
    for (size_t i = 0; i < plan.assets.size(); ++i) {
        const KindInfo& info = infoOf(plan.assets[i].kind);
        raw[i] = double(random.between(info.minSize, info.maxSize));
        rawSum += raw[i];
    }
    std::uint64_t given = 0;
    size_t largest = 0;
    for (size_t i = 0; i < plan.assets.size(); ++i) {
        plan.assets[i].size = std::uint64_t(raw[i] / rawSum * double(budget));
        given += plan.assets[i].size;
        if (plan.assets[i].size > plan.assets[largest].size)
            largest = i;
    }
    if (!plan.assets.empty() && given < budget)
        plan.assets[largest].size += budget - given;
    return plan;
}

void WriteSite(const std::string& folder, const SitePlan& plan, std::uint64_t seed) {
    namespace fs = std::filesystem;
    const fs::path root(folder);
    fs::create_directories(root);
    writeFile(root / "index.html", plan.frontPage);
    writeFile(root / "download.html", plan.downloadPage);

    Random random(seed ^ 0x5eed5eed5eed5eedull);
    std::string buffer;
    constexpr std::uint64_t kChunk = 1u << 20;
    for (const Asset& asset : plan.assets) {
        const fs::path path = root / asset.path;
        fs::create_directories(path.parent_path());
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            throw std::runtime_error("cannot create " + path.string());
        const std::uint64_t randomBytes = asset.content == Content::Random       ? asset.size
                                          : asset.content == Content::HalfRandom ? asset.size / 2
                                                                                 : 0;
        for (std::uint64_t written = 0; written < asset.size;) {
            const bool noise = written < randomBytes;
            const std::uint64_t n = std::min(kChunk, (noise ? randomBytes : asset.size) - written);
            buffer.clear();
            if (noise) {
                buffer.resize(n);
                random.fill(buffer.data(), n);
            } else {
                appendWords(buffer, n, random);
            }
            if (std::fwrite(buffer.data(), 1, n, file) != n) {
                std::fclose(file);
                throw std::runtime_error("cannot write " + path.string());
            }
            written += n;
        }
        if (std::fclose(file) != 0)
            throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace bench
