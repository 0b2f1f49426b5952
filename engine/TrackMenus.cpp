#include "engine/TrackMenus.h"

#include <commdlg.h>

#include "app/MainFrame.h"
#include "playback/PlayLogic.h"
#include "resource.h"

ChooseFileFn chooseFileHook = nullptr;

namespace {

// Where each dynamic popup hangs in the menu bar.
struct DynamicMenu {
    int parentPosition; // popup of the menu bar
    int itemPosition;   // item inside that popup
    UINT itemId;
    UINT firstId;
};

constexpr DynamicMenu kAudioTrackMenu{3, 0, IDM_AUDIO_TRACK, IDM_AUDIO_TRACK_FIRST};
constexpr DynamicMenu kTitleMenu{1, 12, IDM_TITLE, IDM_TITLE_FIRST};
constexpr DynamicMenu kChapterMenu{1, 13, IDM_CHAPTER, IDM_CHAPTER_FIRST};
constexpr DynamicMenu kVideoTrackMenu{2, 7, IDM_VIDEO_TRACK, IDM_VIDEO_TRACK_FIRST};
constexpr DynamicMenu kSubtitleMenu{2, 8, IDM_SUBTITLE_TRACK, IDM_SUBTITLE_FIRST};

// libVLC names are UTF-8; a name that is not valid UTF-8 is shown one byte per character.
// "&" is doubled so that the menu shows it instead of underlining the next letter.
WString menuText(const std::string& name) {
    WString decoded;
    if (!name.empty()) {
        const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                          static_cast<int>(name.size()), nullptr, 0);
        if (n > 0) {
            decoded.resize(static_cast<size_t>(n));
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                static_cast<int>(name.size()), decoded.data(), n);
        } else {
            decoded = widenBytes(name);
        }
    }
    WString text;
    text.reserve(decoded.size());
    for (wchar_t c : decoded) {
        if (c == L'&') text.push_back(L'&');
        text.push_back(c);
    }
    return text;
}

// Replaces the popup of one menu-bar item by a fresh one built from list; an empty list leaves
// the item without a popup, greyed. Invariant: at most one popup hangs at each item.
void buildDynamicMenu(const DynamicMenu& where, const TrackList* list, int currentIndex) {
    HMENU bar = gMainFrame.mainMenu;
    HMENU parent = bar ? GetSubMenu(bar, where.parentPosition) : nullptr;
    if (!parent) return;
    EnableMenuItem(bar, where.itemId, MF_BYCOMMAND | MF_ENABLED);

    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_SUBMENU;
    if (!GetMenuItemInfoW(parent, where.itemPosition, TRUE, &info)) return;
    if (info.hSubMenu) {
        DestroyMenu(info.hSubMenu);
        info.hSubMenu = nullptr;
    }
    const int count = list ? list->count() : 0;
    if (count > 0) {
        info.hSubMenu = CreatePopupMenu();
        for (int i = 0; i < count; ++i) {
            WString text = menuText((*list)[i].name);
            AppendMenuW(info.hSubMenu, MF_STRING, where.firstId + static_cast<UINT>(i),
                        text.c_str());
        }
        if (currentIndex >= 0 && currentIndex < count)
            CheckMenuItem(info.hSubMenu, where.firstId + static_cast<UINT>(currentIndex),
                          MF_BYCOMMAND | MF_CHECKED);
    }
    info.fMask = MIIM_ID | MIIM_SUBMENU;
    SetMenuItemInfoW(parent, where.itemPosition, TRUE, &info);
    if (count == 0)
        EnableMenuItem(parent, where.itemPosition, MF_BYPOSITION | MF_GRAYED | MF_DISABLED);
    refreshMenu(nullptr);
}

bool inList(const TrackList& list, int index) { return index >= 0 && index < list.count(); }

} // namespace

void buildAudioTrackMenu() {
    PlayLogic* logic = playLogic();
    if (!gMainFrame.mainMenu || !logic) return;
    buildDynamicMenu(kAudioTrackMenu, &logic->audioTracks, logic->currentAudioTrackIndex());
}

void buildTitleMenu() {
    PlayLogic* logic = playLogic();
    if (!gMainFrame.mainMenu || !logic) return;
    buildDynamicMenu(kTitleMenu, &logic->titles, logic->currentTitleIndex());
}

void buildChapterMenu() {
    PlayLogic* logic = playLogic();
    if (!gMainFrame.mainMenu || !logic) return;
    const int title = logic->currentTitleIndex();
    // Without a current title the chapter popup keeps what it shows.
    if (!inList(logic->titles, title)) return;
    buildDynamicMenu(kChapterMenu, logic->titles[title].chapters.get(),
                     logic->currentChapterIndex());
}

void buildVideoTrackMenu() {
    PlayLogic* logic = playLogic();
    if (!gMainFrame.mainMenu || !logic) return;
    buildDynamicMenu(kVideoTrackMenu, &logic->videoTracks, logic->currentVideoTrackIndex());
}

void buildSubtitleMenu() {
    PlayLogic* logic = playLogic();
    if (!gMainFrame.mainMenu || !logic) return;
    buildDynamicMenu(kSubtitleMenu, &logic->subtitles, logic->currentSubtitleIndex());
}

void onAudioTrackChosen(int index) {
    PlayLogic* logic = playLogic();
    if (!logic || !logic->player || !inList(logic->audioTracks, index)) return;
    logic->player->setAudioTrack(logic->audioTracks[index].id);
}

void onTitleChosen(int index) {
    PlayLogic* logic = playLogic();
    if (!logic || !logic->player || !inList(logic->titles, index)) return;
    logic->player->setTitleChapter(logic->titles[index].id, -1);
    // The new title has its own audio tracks; the controller refills the list later.
    logic->audioTracks.clear();
    buildAudioTrackMenu();
}

void onChapterChosen(int index) {
    if (PlayLogic* logic = playLogic()) logic->selectChapter(index);
}

void onVideoTrackChosen(int index) {
    PlayLogic* logic = playLogic();
    if (!logic || !logic->player || !inList(logic->videoTracks, index)) return;
    logic->player->setVideoTrack(logic->videoTracks[index].id);
}

void onSubtitleChosen(int index) {
    if (PlayLogic* logic = playLogic()) logic->selectSubtitle(index);
}

void onAspectRatioChosen(UINT id) {
    // "Default" (the empty text) and unknown IDs pass no ratio.
    const char* ratio = aspectTextForCommand(id);
    if (ratio && !*ratio) ratio = nullptr;
    if (PlayLogic* logic = playLogic()) logic->applyAspectRatio(ratio);
    refreshMenu(nullptr);
}

WString chooseFile() {
    if (chooseFileHook) return chooseFileHook();
    wchar_t path[MAX_PATH] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = gMainFrame.mainWindow;
    ofn.lpstrFilter = L"All file(*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = L"Select File";
    if (!GetOpenFileNameW(&ofn)) return WString();
    return WString(path, wideLength(path));
}
