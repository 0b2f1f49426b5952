#include "tests/unit/gtest_wine.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "playback/PlayListData.h"

extern "C" char* CDECL wine_get_unix_file_name(const WCHAR* dosName);

namespace {

// A fresh folder below the Windows temp folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        static int serial = 0;
        path = formatWide(L"%svelloran-pl-%d-%d", base, static_cast<int>(GetCurrentProcessId()),
                          ++serial);
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~TempFolder() { removeTree(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    WString file(const wchar_t* name) const { return path + L"\\" + name; }
    WString touch(const wchar_t* name) const {
        const WString full = file(name);
        HANDLE h = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(h, "x", 1, &written, nullptr);
            CloseHandle(h);
        }
        return full;
    }
    WString folder(const wchar_t* name) const {
        const WString full = file(name);
        CreateDirectoryW(full.c_str(), nullptr);
        return full;
    }

    WString path;

private:
    static void removeTree(const WString& dir) {
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const WString name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const WString full = dir + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    removeTree(full);
                else
                    DeleteFileW(full.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(dir.c_str());
    }
};

std::vector<WString> namesOf(const PlayListData& list, const WString& folder) {
    std::vector<WString> names;
    for (const PlayListEntry& entry : list.entries)
        names.push_back(entry.path.substr(0, folder.size() + 1) == folder + L"\\"
                            ? entry.path.substr(folder.size() + 1)
                            : entry.path);
    return names;
}

class PlayList : public ::testing::Test {
protected:
    PlayListData list;
};

} // namespace

TEST_F(PlayList, FolderOfOpenedFileGivesItsMediaFilesInCodeUnitOrder) {
    TempFolder dir;
    dir.touch(L"a.avi");
    const WString opened = dir.touch(L"b.mkv");
    dir.touch(L"Z.mp4");
    dir.touch(L"notes.txt");
    dir.touch(L".hidden.avi");
    dir.folder(L"x.avi");

    EXPECT_EQ(list.buildFromPath(opened), 3);
    EXPECT_EQ(namesOf(list, dir.path), (std::vector<WString>{L"Z.mp4", L"a.avi", L"b.mkv"}));
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(list.entryPath(2), opened);

    // Building again replaces the list with the same one.
    EXPECT_EQ(list.buildFromPath(opened), 3);
    EXPECT_EQ(namesOf(list, dir.path), (std::vector<WString>{L"Z.mp4", L"a.avi", L"b.mkv"}));
}

TEST_F(PlayList, OnlyTheExactSpellingOfThePathIsMarkedCurrent) {
    TempFolder dir;
    dir.touch(L"a.avi");
    dir.touch(L"b.mkv");
    // Same file, other case: the list is built but has no current entry.
    EXPECT_EQ(list.buildFromPath(dir.file(L"B.MKV")), 2);
    EXPECT_EQ(list.currentIndex(), -1);
}

TEST_F(PlayList, UnreadableAndVanishedFilesAreLeftOut) {
    TempFolder dir;
    const WString locked = dir.touch(L"locked.avi");
    const WString opened = dir.touch(L"open.avi");
    dir.folder(L"folder.mkv");
    // Made on the host: a link whose file is gone (listed, not readable), and a name with a
    // character Windows forbids, which Wine lists under another spelling (readable).
    char* host = wine_get_unix_file_name(dir.path.c_str());
    ASSERT_NE(host, nullptr);
    const std::string hostDir = host;
    HeapFree(GetProcessHeap(), 0, host);
    ASSERT_EQ(symlink("/nonexistent/film.avi", (hostDir + "/gone.avi").c_str()), 0);
    const int mapped = open((hostDir + "/a:b.avi").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(mapped, 0);
    close(mapped);

    EXPECT_EQ(list.buildFromPath(opened), 3);
    EXPECT_EQ(list.entryPath(1), locked);
    EXPECT_EQ(list.entryPath(2), opened);
    // Held without any sharing: it cannot be opened for reading. The play list of the folder
    // does not see that lock under Wine; adding the file by itself opens it.
    HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    EXPECT_EQ(list.addFile(locked, 0), -1);
    CloseHandle(hold);
    EXPECT_EQ(list.addFile(dir.file(L"missing.avi"), 0), -1);
    EXPECT_EQ(list.addFile(dir.touch(L"late.mkv"), 0), 3);
}

TEST_F(PlayList, PathsWithoutSeparatorOrFolderGiveEmptyOrSingleEntryLists) {
    TempFolder dir;
    dir.touch(L"a.avi");
    EXPECT_EQ(list.buildFromPath(L"a.avi"), 0);
    EXPECT_EQ(list.buildFromPath(dir.file(L"gone") + L"\\b.avi"), 0); // folder cannot be listed

    // A disc root or disc folder is the one entry, current.
    EXPECT_EQ(list.buildFromPath(dir.path), 1);
    EXPECT_EQ(list.entryPath(0), dir.path);
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_EQ(list.buildFromPath(L"C:\\"), 1);
    EXPECT_EQ(list.entryPath(0), WString(L"C:\\"));
}

TEST_F(PlayList, MediaTestIsASubstringTestOnTheLoweredTextFromTheLastDot) {
    EXPECT_TRUE(list.isMediaFile(L"C:\\films\\MOVIE.AVI"));
    EXPECT_TRUE(list.isMediaFile(L"C:\\films\\clip.f4v"));
    EXPECT_TRUE(list.isMediaFile(L"C:\\films\\clip.xf4vx")); // any extension containing f4v
    EXPECT_TRUE(list.isMediaFile(L"C:\\films\\data.tsv"));   // through .ts
    EXPECT_TRUE(list.isMediaFile(L"C:\\films\\movie.m2ts"));
    EXPECT_TRUE(list.isMediaFile(L"C:\\films\\page.xaml"));   // through .xa
    EXPECT_FALSE(list.isMediaFile(L"C:\\films\\camera.tod")); // "..tod" never occurs
    EXPECT_FALSE(list.isMediaFile(L"C:\\films\\notes.txt"));
    EXPECT_FALSE(list.isMediaFile(L"C:\\films\\README"));
    EXPECT_FALSE(list.isMediaFile(L"C:\\films\\trailing."));
    // The last dot lies in a folder name: the rest of the path is judged.
    EXPECT_TRUE(list.isMediaFile(L"C:\\x.avi\\README"));
    EXPECT_FALSE(list.isMediaFile(L"C:\\x.doc\\movie"));
}

TEST_F(PlayList, ExtensionTokensAreBothListsSplitAtTheSeparators) {
    EXPECT_FALSE(list.isMediaFile(L"C:\\notes.txt"));
    EXPECT_EQ(list.extensionTokens.size(), 104u);
    EXPECT_EQ(list.extensionTokens[11], WString(L"f4v"));
}

TEST_F(PlayList, SortOrdersByUnsignedCodeUnitsShorterPrefixFirstEqualPathsInPlace) {
    const wchar_t* paths[] = {L"C:\\f\\a.avi",
                              L"C:\\f\\B.avi",
                              L"C:\\f\\2.avi",
                              L"C:\\f\\10.avi",
                              L"C:\\f\\\u00e9.avi",
                              L"C:\\f\\a.avi.mkv",
                              L"C:\\f\\\xd83c\xdfa5.avi",
                              L"C:\\f\\a.avi"};
    for (const wchar_t* p : paths)
        list.entries.push_back(PlayListEntry{0, p});
    list.entries[0].current = 1; // first of the two equal paths
    list.sort();
    std::vector<WString> sorted;
    for (const PlayListEntry& e : list.entries)
        sorted.push_back(e.path.substr(5));
    EXPECT_EQ(sorted, (std::vector<WString>{L"10.avi", L"2.avi", L"B.avi", L"a.avi", L"a.avi",
                                            L"a.avi.mkv", L"\u00e9.avi", L"\xd83c\xdfa5.avi"}));
    EXPECT_EQ(list.currentIndex(), 3);
}

TEST_F(PlayList, IndexOperationsIgnoreIndexesOutsideTheList) {
    for (const wchar_t* p : {L"C:\\a.avi", L"C:\\b.avi", L"C:\\c.avi"})
        list.entries.push_back(PlayListEntry{0, p});
    EXPECT_EQ(list.currentIndex(), -1);
    list.setCurrent(1);
    list.setCurrent(3);
    list.setCurrent(-1);
    EXPECT_EQ(list.currentIndex(), 1);
    list.entries[2].current = 1;
    list.setCurrent(2); // exactly one current afterwards
    EXPECT_EQ(list.entries[1].current, 0);
    EXPECT_EQ(list.currentIndex(), 2);

    EXPECT_EQ(list.entryPath(3), WString());
    EXPECT_EQ(list.entryPath(-1), WString());
    EXPECT_FALSE(list.remove(3));
    EXPECT_FALSE(list.remove(-1));
    EXPECT_TRUE(list.remove(0));
    EXPECT_EQ(list.entryPath(0), WString(L"C:\\b.avi"));
    EXPECT_EQ(list.count(), 2);
    list.clear();
    EXPECT_EQ(list.count(), 0);
}
