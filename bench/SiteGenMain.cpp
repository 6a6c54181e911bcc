// Writes a synthetic product site for the benchmarks.
#include "SiteGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

int usage(const char* program) {
    std::fprintf(
        stderr,
        "Usage: %s --out DIR [--shape mixed|product] [--files N] [--size BYTES[K|M|G]]\n"
        "          [--refs N] [--seed N] [--page-size BYTES[K|M]]\n"
        "Writes index.html (#FRONT#), download.html (#BACK#) and N-2 assets in\n"
        "subfolders, BYTES in all. In a mixed site the pages hold N asset references\n"
        "between them; a product site (40 %% video, 25 %% pictures, 15 %% ZIP, 15 %% PDF,\n"
        "5 %% pages and style sheets, by size) refers to every asset once.\n",
        program);
    return 2;
}

bool parseSize(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    const double number = std::strtod(text, &end);
    if (end == text || number < 0)
        return false;
    double scale = 1;
    if (*end == 'K' || *end == 'k')
        scale = 1024.0, ++end;
    else if (*end == 'M' || *end == 'm')
        scale = 1024.0 * 1024, ++end;
    else if (*end == 'G' || *end == 'g')
        scale = 1024.0 * 1024 * 1024, ++end;
    if (*end != '\0')
        return false;
    value = std::uint64_t(number * scale);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    bench::SiteParameters parameters;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (i + 1 >= argc)
            return usage(argv[0]);
        const char* value = argv[++i];
        std::uint64_t number = 0;
        if (!std::strcmp(option, "--out"))
            out = value;
        else if (!std::strcmp(option, "--shape") && !std::strcmp(value, "mixed"))
            parameters.shape = bench::SiteShape::Mixed;
        else if (!std::strcmp(option, "--shape") && !std::strcmp(value, "product"))
            parameters.shape = bench::SiteShape::Product;
        else if (!parseSize(value, number))
            return usage(argv[0]);
        else if (!std::strcmp(option, "--files"))
            parameters.files = int(number);
        else if (!std::strcmp(option, "--size"))
            parameters.totalBytes = number;
        else if (!std::strcmp(option, "--refs"))
            parameters.references = int(number);
        else if (!std::strcmp(option, "--seed"))
            parameters.seed = number;
        else if (!std::strcmp(option, "--page-size"))
            parameters.pageBytes = number;
        else
            return usage(argv[0]);
    }
    if (out.empty() || parameters.files < 2)
        return usage(argv[0]);
    try {
        const bench::SitePlan plan = bench::PlanSite(parameters);
        bench::WriteSite(out, plan, parameters.seed);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
