// Sorts a large play list with PlayListData::sort and with the quadratic exchange sort the
// order is defined by, checks that both give the same order, and prints the times and their
// ratio. Usage: bench_playlist [entries] (default 20000).
#include <windows.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "playback/PlayListData.h"

namespace {

// For i < j: when entry j is strictly less than entry i (unsigned code units, a prefix before
// the longer path), the two change places.
void exchangeSort(std::vector<PlayListEntry>& entries) {
    const size_t n = entries.size();
    for (size_t i = 0; i + 1 < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (entries[j].path.compare(entries[i].path) < 0) std::swap(entries[i], entries[j]);
}

// File names as a folder of a film collection might hold them: mixed case, digits, a few
// non-ASCII letters, shared prefixes.
std::vector<PlayListEntry> makeEntries(int count) {
    std::mt19937 random(12345);
    const wchar_t* stems[] = {L"Episode ", L"episode ", L"Film", L"Caf\u00e9 ",
                              L"Z",        L"a",        L"10",   L"2"};
    const wchar_t* extensions[] = {L".avi", L".mkv", L".mp4", L".MP4", L".mkv.part.mkv"};
    std::vector<PlayListEntry> entries;
    entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        WString name = L"C:\\Users\\viewer\\Videos\\Collection\\";
        name += stems[random() % 8];
        name += formatWide(L"%d", static_cast<int>(random() % 1000000));
        name += extensions[random() % 5];
        entries.push_back(PlayListEntry{i == count / 2 ? 1 : 0, name});
    }
    return entries;
}

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// A folder of empty media files, made once under the temporary folder.
WString makeFolder(int files) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    WString folder = formatWide(L"%sbench-playlist-%d", temp, files);
    CreateDirectoryW(folder.c_str(), nullptr);
    const wchar_t* extensions[] = {L".avi", L".mkv", L".mp4", L".txt"};
    for (int i = 0; i < files; ++i) {
        WString path = formatWide(L"%s\\Episode %05d%s", folder.c_str(), (i * 7919) % files,
                                  extensions[i % 4]);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return folder;
}

// The bare enumeration the play list is built from: every name of the folder, nothing kept.
int enumerate(const WString& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        ++n;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return n;
}

// The entries a play list of the folder must have: every media file of the folder that opens
// for reading, found by opening each one, in code-unit order.
std::vector<WString> expectedEntries(const WString& folder) {
    PlayListData types;
    std::vector<WString> paths;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return paths;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const WString path = folder + L"\\" + data.cFileName;
        if (!types.isMediaFile(path)) continue;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        CloseHandle(file);
        paths.push_back(path);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Building the play list of a real folder against enumerating it, as the user meets it when
// opening a file in a large folder.
bool benchFolder(int files) {
    WString folder = makeFolder(files);
    WString opened = formatWide(L"%s\\Episode %05d.avi", folder.c_str(), 0);
    LARGE_INTEGER t0, t1, t2;
    // Once each unmeasured, so that both read a warm directory.
    enumerate(folder);
    PlayListData warm;
    warm.buildFromPath(opened);
    QueryPerformanceCounter(&t0);
    int names = enumerate(folder);
    QueryPerformanceCounter(&t1);
    PlayListData list;
    int entries = list.buildFromPath(opened);
    QueryPerformanceCounter(&t2);
    const double bare = seconds(t0, t1);
    const double build = seconds(t1, t2);
    std::printf("bench_playlist: folder of %d files (%d names, %d play-list entries)\n", files,
                names, entries);
    std::printf("  enumeration:      %10.6f s\n", bare);
    std::printf("  play-list build:  %10.6f s\n", build);
    std::printf("  ratio (build / enumeration): %.2f\n", bare > 0 ? build / bare : 0.0);
    const std::vector<WString> expected = expectedEntries(folder);
    bool same = expected.size() == list.entries.size();
    for (size_t i = 0; same && i < expected.size(); ++i)
        same = list.entries[i].path == expected[i];
    std::printf("  same entries as opening every file: %s\n", same ? "yes" : "NO");
    return same;
}

} // namespace

extern "C" int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    if (count <= 0) {
        std::printf("usage: bench_playlist [entries]\n");
        return 2;
    }
    const std::vector<PlayListEntry> source = makeEntries(count);

    PlayListData list;
    list.entries = source;
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    list.sort();
    QueryPerformanceCounter(&t1);
    std::vector<PlayListEntry> reference = source;
    exchangeSort(reference);
    QueryPerformanceCounter(&t2);

    // Generated names may repeat; equal paths are interchangeable, so compare paths, and the
    // current flag only where the paths are unique.
    bool same = list.entries.size() == reference.size();
    for (size_t i = 0; same && i < reference.size(); ++i)
        same = list.entries[i].path == reference[i].path;
    const int current = list.currentIndex();
    const bool currentKept = current >= 0 && list.entries[static_cast<size_t>(current)].path ==
                                                 source[static_cast<size_t>(count / 2)].path;

    const double fast = seconds(t0, t1);
    const double slow = seconds(t1, t2);
    std::printf("bench_playlist: %d entries\n", count);
    std::printf("  stable sort:   %10.6f s\n", fast);
    std::printf("  exchange sort: %10.6f s\n", slow);
    std::printf("  ratio (exchange / stable): %.1f\n", fast > 0 ? slow / fast : 0.0);
    std::printf("  same order: %s, current entry kept: %s\n", same ? "yes" : "NO",
                currentKept ? "yes" : "NO");
    const bool folders = benchFolder(10000) & benchFolder(50000);
    return same && currentKept && folders ? 0 : 1;
}
