#include "tests/unit/gtest_wine.h"

#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/TrackMenus.h"
#include "playback/PlayLogic.h"
#include "resources/resource.h"
#include "tests/unit/StubPlayer.h"

namespace {

// Copies a list with its chapters.
void copyList(const TrackList& from, TrackList& to) {
    for (const TrackInfo& item : from.items) {
        to.add(item.id, item.name);
        to.items.back().lengthMs = item.lengthMs;
        if (item.chapters) {
            to.items.back().chapters = std::make_unique<TrackList>();
            copyList(*item.chapters, *to.items.back().chapters);
        }
    }
}

struct MenuFakePlayer : StubPlayer {
    // The lists the engine hands the controller.
    TrackList audioTracks, titles, subtitles;
    int audioTrack = -1, title = -1, chapter = -1;
    std::vector<int> audioTracksSet;
    std::vector<std::pair<int, int>> titleChaptersSet;
    std::vector<std::string> aspectsSet;
    std::vector<WString> subtitleFiles;

    MenuFakePlayer() { size = VideoSize{1920, 1080}; }
    bool isPlaying() override { return true; }
    void pause() override {}
    void stop() override {}
    PlayerState getState() override { return PlayerState::Playing; }
    bool setAspectRatio(const std::string& r) override {
        aspectsSet.push_back(r);
        return true;
    }
    int getAudioTrack() override { return audioTrack; }
    void setAudioTrack(int id) override { audioTracksSet.push_back(id); }
    int getTitle() override { return title; }
    int getChapter() override { return chapter; }
    void setTitleChapter(int t, int c) override { titleChaptersSet.emplace_back(t, c); }
    void setSubtitleFile(const WString& path) override { subtitleFiles.push_back(path); }
    int getAudioTracks(TrackList& list) override {
        copyList(audioTracks, list);
        return list.count();
    }
    void getTitles(TrackList& list) override { copyList(titles, list); }
    int getSubtitles(TrackList& list) override {
        copyList(subtitles, list);
        return list.count();
    }
};

WString itemText(HMENU menu, UINT position) {
    wchar_t buffer[128] = {};
    int n = GetMenuStringW(menu, position, buffer, 128, MF_BYPOSITION);
    return WString(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

class TrackMenus : public ::testing::Test {
protected:
    void SetUp() override {
        saved = std::move(gMainFrame);
        gMainFrame.mainWindow = nullptr;
        gMainFrame.mainMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINMENU));
        ASSERT_NE(gMainFrame.mainMenu, nullptr);
        gMainFrame.playLogic =
            std::make_unique<PlayLogic>(&gMainFrame.listener, nullptr, 0, nullptr);
        logic = gMainFrame.playLogic.get();
        fake = new MenuFakePlayer();
        logic->setEngine(std::unique_ptr<MediaPlayer>(fake), EngineKind::Vlc);
    }
    void TearDown() override {
        gMainFrame.playLogic.reset();
        DestroyMenu(gMainFrame.mainMenu);
        gMainFrame = std::move(saved);
    }
    // The popup that hangs at an item of a menu-bar popup, or null.
    HMENU popupAt(int parent, int item) {
        return GetSubMenu(GetSubMenu(gMainFrame.mainMenu, parent), item);
    }
    UINT itemState(int parent, int item) {
        return GetMenuState(GetSubMenu(gMainFrame.mainMenu, parent), item, MF_BYPOSITION);
    }
    MainFrameState saved;
    PlayLogic* logic = nullptr;
    MenuFakePlayer* fake = nullptr;
};

TEST_F(TrackMenus, SubtitleListGetsItsRangeWithOpenFileLast) {
    fake->subtitles.add(1, "English");
    fake->subtitles.add(2, "Deutsch");
    fake->subtitles.add(3, "Italiano");
    fake->subtitles.add(0, "Open file...");
    logic->updateTrackLists();
    buildTrackMenu(TrackListKind::Subtitles);
    HMENU popup = popupAt(2, 8);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(GetMenuItemID(popup, i), 33369u + i);
    EXPECT_EQ(itemText(popup, 3), WString(L"Open file..."));
    // The item keeps its command ID while it carries the submenu (GetMenuItemID answers -1
    // for any item with a submenu, so the ID is read through the item information).
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoW(GetSubMenu(gMainFrame.mainMenu, 2), 8, TRUE, &info));
    EXPECT_EQ(info.wID, UINT(IDM_SUBTITLE_TRACK));
}

TEST_F(TrackMenus, RefillRebuildsAndEmptyListGreysTheItem) {
    fake->audioTracks.add(1, "Track 1");
    fake->audioTracks.add(2, "Track 2");
    fake->audioTrack = 2;
    logic->updateTrackLists();
    buildTrackMenu(TrackListKind::AudioTracks);
    HMENU first = popupAt(3, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetMenuItemCount(first), 2);
    EXPECT_TRUE(GetMenuState(first, 32970, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(first, 32969, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(itemState(3, 0) & MF_GRAYED);

    fake->audioTracks.add(3, "Track 3");
    fake->audioTrack = 99; // matches no entry: nothing is checked
    logic->updateTrackLists();
    buildTrackMenu(TrackListKind::AudioTracks);
    HMENU second = popupAt(3, 0);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsMenu(first)); // the previous popup was destroyed, not leaked
    ASSERT_EQ(GetMenuItemCount(second), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(GetMenuState(second, i, MF_BYPOSITION) & MF_CHECKED);

    fake->audioTracks.clear();
    logic->updateTrackLists();
    buildTrackMenu(TrackListKind::AudioTracks);
    EXPECT_EQ(popupAt(3, 0), nullptr);
    EXPECT_TRUE(itemState(3, 0) & MF_GRAYED);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(gMainFrame.mainMenu, 3), 0), UINT(IDM_AUDIO_TRACK));
}

TEST_F(TrackMenus, NamesAreDecodedFromUtf8) {
    fake->audioTracks.add(1, "Fran\xc3\xa7"
                             "ais");
    fake->audioTracks.add(2, "Caf\xe9"); // not UTF-8: shown byte by byte
    fake->audioTracks.add(3, "Rock & Roll");
    logic->updateTrackLists();
    buildTrackMenu(TrackListKind::AudioTracks);
    HMENU popup = popupAt(3, 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(itemText(popup, 0), WString(L"Fran\u00e7ais"));
    EXPECT_EQ(itemText(popup, 1), WString(L"Caf\u00e9"));
    EXPECT_EQ(itemText(popup, 2), WString(L"Rock && Roll"));
}

TEST_F(TrackMenus, ChapterMenuFollowsTheCurrentTitle) {
    fake->titles.add(10, "Title 1");
    fake->titles.add(20, "Title 2");
    fake->titles[0].chapters = std::make_unique<TrackList>();
    for (int i = 0; i < 12; ++i)
        fake->titles[0].chapters->add(i + 1, "Chapter " + std::to_string(i + 1));
    fake->title = 10;
    fake->chapter = 3;
    logic->updateTrackLists();
    buildTrackMenu(TrackListKind::Titles);
    buildTrackMenu(TrackListKind::Chapters);
    // Controls ends Title, Chapter, a separator and Full Screen.
    const int chapterAt = GetMenuItemCount(GetSubMenu(gMainFrame.mainMenu, 1)) - 3;
    HMENU titles = popupAt(1, chapterAt - 1);
    ASSERT_NE(titles, nullptr);
    EXPECT_EQ(GetMenuItemCount(titles), 2);
    EXPECT_TRUE(GetMenuState(titles, 33069, MF_BYCOMMAND) & MF_CHECKED);
    HMENU chapters = popupAt(1, chapterAt);
    ASSERT_NE(chapters, nullptr);
    ASSERT_EQ(GetMenuItemCount(chapters), 12);
    EXPECT_EQ(itemText(chapters, 11), WString(L"Chapter 12"));
    EXPECT_EQ(GetMenuItemID(chapters, 11), 33180u);
    EXPECT_TRUE(GetMenuState(chapters, 33171, MF_BYCOMMAND) & MF_CHECKED);

    fake->title = -1; // nothing current: the chapter popup stays as it was
    buildTrackMenu(TrackListKind::Chapters);
    EXPECT_EQ(popupAt(1, chapterAt), chapters);

    fake->title = 20; // a title without chapters takes the popup away
    buildTrackMenu(TrackListKind::Chapters);
    EXPECT_EQ(popupAt(1, chapterAt), nullptr);
    EXPECT_TRUE(itemState(1, chapterAt) & MF_GRAYED);
}

TEST_F(TrackMenus, ChoosingTitleSelectsItAndEmptiesAudioMenu) {
    fake->titles.add(10, "Title 1");
    fake->titles.add(20, "Title 2");
    fake->audioTracks.add(1, "English");
    logic->updateTrackLists();
    buildTrackMenu(TrackListKind::AudioTracks);
    ASSERT_NE(popupAt(3, 0), nullptr);
    onCommand(IDM_TITLE_FIRST + 1);
    ASSERT_EQ(fake->titleChaptersSet.size(), 1u);
    EXPECT_EQ(fake->titleChaptersSet[0], std::make_pair(20, -1));
    EXPECT_TRUE(logic->trackList(TrackListKind::AudioTracks)->empty());
    EXPECT_EQ(popupAt(3, 0), nullptr);
}

TEST_F(TrackMenus, IndexOutsideListOrMissingEngineIsIgnored) {
    fake->audioTracks.add(7, "English");
    logic->updateTrackLists();
    onCommand(IDM_AUDIO_TRACK_FIRST + 1);
    onCommand(IDM_TITLE_FIRST);
    EXPECT_TRUE(fake->audioTracksSet.empty());
    EXPECT_TRUE(fake->titleChaptersSet.empty());
    onCommand(IDM_AUDIO_TRACK_FIRST);
    EXPECT_EQ(fake->audioTracksSet, std::vector<int>{7});

    logic->setEngine(nullptr, EngineKind::Vlc);
    for (UINT id : {UINT(IDM_AUDIO_TRACK_FIRST), UINT(IDM_TITLE_FIRST), UINT(IDM_CHAPTER_FIRST),
                    UINT(IDM_VIDEO_TRACK_FIRST), UINT(IDM_SUBTITLE_FIRST), UINT(IDM_ASPECT_16_9)})
        EXPECT_EQ(onCommand(id), 1);
    HMENU menu = gMainFrame.mainMenu;
    gMainFrame.mainMenu = nullptr; // builders without a menu bar do nothing
    buildTrackMenu(TrackListKind::AudioTracks);
    gMainFrame.mainMenu = menu;
}

TEST_F(TrackMenus, AspectItemsPassTheirRatioAndDefaultPassesNone) {
    onCommand(IDM_ASPECT_235_1);
    onCommand(IDM_ASPECT_5_4);
    EXPECT_EQ(logic->aspectRatio(), "5:4");
    onCommand(IDM_ASPECT_DEFAULT); // the picture's own shape
    ASSERT_EQ(fake->aspectsSet.size(), 3u);
    EXPECT_EQ(fake->aspectsSet[0], "2.35:1");
    EXPECT_EQ(fake->aspectsSet[1], "5:4");
    EXPECT_EQ(fake->aspectsSet[2], "");
    EXPECT_TRUE(logic->aspectRatio().empty());
}

} // namespace

TEST_F(TrackMenus, HundredsOfTitlesKeepTheLongestWithinTheirRange) {
    // 130 titles of a disc listed without its menus; the film (title 120) is the longest.
    for (int i = 0; i < 130; ++i) {
        fake->titles.add(i, "Title " + std::to_string(i + 1));
        fake->titles[i].lengthMs = i == 120 ? 7'000'000 : 60'000 + (i % 40) * 1000;
    }
    fake->title = 120;
    logic->updateTrackLists();
    buildTrackMenu(TrackListKind::Titles);
    // Controls ends Title, Chapter, a separator and Full Screen.
    HMENU titles = popupAt(1, GetMenuItemCount(GetSubMenu(gMainFrame.mainMenu, 1)) - 4);
    ASSERT_NE(titles, nullptr);
    ASSERT_EQ(GetMenuItemCount(titles), 100);
    EXPECT_EQ(GetMenuItemID(titles, 99), 33168u);
    // The film is kept and checked; the shortest went.
    const int film = logic->currentIndex(TrackListKind::Titles);
    ASSERT_GE(film, 0);
    EXPECT_TRUE(GetMenuState(titles, 33069u + static_cast<UINT>(film), MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(logic->trackList(TrackListKind::Titles)->indexOf(0), -1);
}
