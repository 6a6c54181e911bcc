#pragma once

// Synthetic product sites for the benchmarks: a sales page with #FRONT#, a download page with
// #BACK#, and asset files in subfolders. Everything is drawn from a seed, so the same
// parameters always give the same bytes. Two shapes: a mix of many kinds of files, mostly
// incompressible, and a typical product site whose bytes are mostly media that is compressed
// already.

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// xoshiro256**: fast, and the same sequence on every platform (unlike std distributions).
class Random {
public:
    explicit Random(std::uint64_t seed);
    std::uint64_t next();
    // Uniform in [low, high], both included.
    std::uint64_t between(std::uint64_t low, std::uint64_t high);
    void fill(char* data, std::size_t size);

private:
    std::uint64_t s_[4];
};

enum class AssetKind { Image, Style, Script, Text, Document, Archive, Font, Media, Page };

// Text of words compresses well, random bytes not at all; a half-and-half file, like a PDF with
// both compressed and plain streams, is random first.
enum class Content { Words, Random, HalfRandom };

struct Asset {
    std::string path; // relative, '/' separated
    AssetKind kind;
    std::uint64_t size;
    Content content;
};

enum class SiteShape {
    Mixed,  // files of every kind in counts drawn by weight, sizes scaled to the total
    Product // by size 40 % video, 25 % pictures, 15 % ZIP, 15 % PDF, 5 % pages and style sheets
};

struct SiteParameters {
    SiteShape shape = SiteShape::Mixed;
    int files = 2000;                        // pages included
    std::uint64_t totalBytes = 200ull << 20; // pages included
    int references = 2000; // asset references, split over the two pages (Mixed only: a product
                           // site's sales page shows the pictures and style sheets, and its
                           // download page links the rest)
    std::uint64_t seed = 1;
    std::uint64_t pageBytes =
        128 << 10; // each page's length; prose fills what the references leave
};

struct SitePlan {
    std::vector<Asset> assets; // without the two pages
    std::string frontPage;     // index.html
    std::string downloadPage;  // download.html
};

// Asset paths only (sizes left at zero): count of them, spread over kinds and subfolders.
std::vector<Asset> PlanAssetNames(int count, Random& random);

// An HTML page of about targetBytes that carries tag and refers to every entry of references
// once, in the given order, with a double-quoted relative path.
std::string MakePage(const std::string& title, const std::string& tag,
                     const std::vector<std::string>& references, std::uint64_t targetBytes,
                     Random& random);

SitePlan PlanSite(const SiteParameters& parameters);

// Writes the plan into folder (created; must not hold the files yet). Throws std::runtime_error.
void WriteSite(const std::string& folder, const SitePlan& plan, std::uint64_t seed);

} // namespace bench
