// Figures for the cache purge: PurgeFolder against a plain recursive
// DeleteFileW/RemoveDirectoryW walk of the same tree, and the URL-cache walk.
// Prints medians; it judges nothing.

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cache/clean_cache_dlg.h"
#include "cache_fixtures.h"

namespace {

constexpr int kFiles = 20000;
constexpr int kFilesPerFolder = 40;
constexpr int kCacheEntries = 2000;
constexpr int kRuns = 5;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <class F>
double Time(F&& work) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    work();
    ::QueryPerformanceCounter(&end);
    return Seconds(start, end);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int wmain() {
    std::vector<double> purge, plain, urlCache;
    for (int run = 0; run < kRuns; ++run) {
        {
            cachetest::ScratchFolder tree(L"bench-purge");
            cachetest::MakeNestedTree(tree.Path(), kFiles, kFilesPerFolder);
            CCleanCacheDlg dialog;
            purge.push_back(Time([&] { dialog.PurgeFolder(tree.Path().c_str()); }));
            if (!cachetest::ListTree(tree.Path()).empty()) std::printf("run %d: PurgeFolder left entries\n", run);
        }
        {
            cachetest::ScratchFolder tree(L"bench-plain");
            cachetest::MakeNestedTree(tree.Path(), kFiles, kFilesPerFolder);
            plain.push_back(Time([&] { cachetest::RemoveTree(tree.Path()); }));
        }
        {
            cachetest::EmptyUrlCache();
            for (int i = 0; i < kCacheEntries; ++i)
                cachetest::AddCacheEntry(L"http://bench.example/item" + std::to_wstring(i), NORMAL_CACHE_ENTRY);
            CCleanCacheDlg dialog;
            urlCache.push_back(Time([&] { dialog.PurgeUrlCache(CCleanCacheDlg::PURGE_CONTENT); }));
            if (const size_t left = cachetest::CountCacheEntries()) std::printf("run %d: %zu entries left\n", run, left);
        }
        std::printf("run %d: PurgeFolder %.3f s, plain walk %.3f s, URL cache %.3f s\n", run, purge.back(),
                    plain.back(), urlCache.back());
    }

    const double purgeMedian = Median(purge);
    const double plainMedian = Median(plain);
    const double urlMedian = Median(urlCache);
    std::printf("\nfolder tree: %d files in folders of %d, every tenth read-only, %d runs\n", kFiles,
                kFilesPerFolder, kRuns);
    std::printf("  PurgeFolder (shell delete per file)  median %.3f s  %.0f files/s\n", purgeMedian,
                kFiles / purgeMedian);
    std::printf("  plain DeleteFileW/RemoveDirectoryW   median %.3f s  %.0f files/s\n", plainMedian,
                kFiles / plainMedian);
    std::printf("  ratio PurgeFolder / plain            %.2f\n", purgeMedian / plainMedian);
    std::printf("URL cache: %d entries, %d runs\n", kCacheEntries, kRuns);
    std::printf("  PurgeUrlCache(PURGE_CONTENT)         median %.3f s  %.0f entries/s\n", urlMedian,
                kCacheEntries / urlMedian);
    return 0;
}
