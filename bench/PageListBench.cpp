// Times one tick of the page-list refresh when nothing changed, in a working folder of 10,000
// pages; beside it, the listing alone, a bare scan of the folder and a stat of it, to show where
// the time goes.
#include "Stats.h"
#include "app/PageListMonitor.h"
#include "util/PageListing.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void touch(const fs::path& path) {
    if (std::FILE* file = std::fopen(path.c_str(), "wb"))
        std::fclose(file);
}

// What any listing must do at least: read the folder's entries and test their suffix.
int bareScan(const char* folder) {
    int found = 0;
    DIR* dir = ::opendir(folder);
    if (!dir)
        return -1;
    while (const dirent* entry = ::readdir(dir)) {
        const size_t n = std::strlen(entry->d_name);
        if ((n > 4 && !::strcasecmp(entry->d_name + n - 4, ".htm")) ||
            (n > 5 && !::strcasecmp(entry->d_name + n - 5, ".html")))
            ++found;
    }
    ::closedir(dir);
    return found;
}

template <typename F> double millis(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    int pages = 10000, ticks = 500;
    std::string parent = fs::temp_directory_path();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--pages"))
            pages = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--ticks"))
            ticks = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--dir"))
            parent = argv[i + 1];
    }

    std::string pattern = parent + "/pagelist-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder(pattern);
    // Pages with a mix of suffixes and letter cases, the files of a site and a subfolder.
    for (int i = 0; i < pages; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, i % 10 == 3 ? "Page-%05d.HTM" : "page-%05d.html", i);
        touch(folder / name);
    }
    for (int i = 0; i < 200; ++i)
        touch(folder / ("picture-" + std::to_string(i) + ".jpg"));
    fs::create_directories(folder / "images");

    // The steady state: nobody has touched the folder for a while. For two seconds after a change
    // every tick lists the folder again (that is the listing time printed below).
    timespec past[2]{};
    ::clock_gettime(CLOCK_REALTIME, &past[0]);
    past[0].tv_sec -= 60;
    past[1] = past[0];
    ::utimensat(AT_FDCWD, folder.c_str(), past, 0);

    const QString workFolder = QString::fromStdString(folder.string());
    PageListMonitor monitor;
    int status = 0;
    if (monitor.refresh(workFolder) != PageListMonitor::Outcome::Rebuilt ||
        monitor.pagePaths().size() != pages) {
        std::fprintf(stderr, "the first refresh did not list the %d pages\n", pages);
        status = 1;
    }
    std::vector<double> refresh, listing, scan, stat;
    for (int t = 0; t < ticks && status == 0; ++t) {
        PageListMonitor::Outcome outcome{};
        refresh.push_back(millis([&] { outcome = monitor.refresh(workFolder); }));
        if (outcome != PageListMonitor::Outcome::Unchanged) {
            std::fprintf(stderr, "tick %d: the refresh did not find the list unchanged\n", t);
            status = 1;
        }
        listing.push_back(millis([&] { ListPages(workFolder); }));
        scan.push_back(millis([&] { bareScan(folder.c_str()); }));
        stat.push_back(millis([&] {
            struct stat st {};
            ::stat(folder.c_str(), &st);
        }));
    }
    fs::remove_all(folder);
    if (status != 0)
        return status;
    std::printf("pagelist_pages=%d\npagelist_ticks=%d\n", pages, ticks);
    std::printf("pagelist_refresh_median_ms=%.3f\npagelist_refresh_p95_ms=%.3f\n",
                bench::Median(refresh), bench::Percentile(refresh, 0.95));
    std::printf("pagelist_listpages_median_ms=%.3f\npagelist_scan_median_ms=%.3f\n"
                "pagelist_stat_median_ms=%.4f\n",
                bench::Median(listing), bench::Median(scan), bench::Median(stat));
    return 0;
}
