#include "app/TrackMenus.h"

#include "app/MainFrame.h"
#include "resources/resource.h"

#include <algorithm>
#include <iterator>

static_assert(kListCapacity <= IDM_DYNAMIC_RANGE, "a list must fit its range of IDs");

namespace {

// Where each dynamic popup hangs in the menu bar: the item is found by its ID inside the
// popup, so that items added above it do not move a list onto a neighbour.
struct DynamicMenu {
    int parentPosition; // popup of the menu bar
    UINT itemId;
    UINT firstId;
};

// In the order of TrackListKind.
constexpr DynamicMenu kDynamicMenus[] = {
    {3, IDM_AUDIO_TRACK, IDM_AUDIO_TRACK_FIRST}, // audio tracks
    {1, IDM_TITLE, IDM_TITLE_FIRST},             // titles
    {1, IDM_CHAPTER, IDM_CHAPTER_FIRST},         // chapters
    {2, IDM_VIDEO_TRACK, IDM_VIDEO_TRACK_FIRST}, // video tracks
    {2, IDM_SUBTITLE_TRACK, IDM_SUBTITLE_FIRST}, // subtitles
};

// The position of the item with the ID in the popup (not in its submenus); -1 when absent.
int itemPosition(HMENU popup, UINT id) {
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID;
        if (GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &info) && info.wID == id) return i;
    }
    return -1;
}

// libVLC names are UTF-8; a name that is not valid UTF-8 is shown one byte per character.
// "&" is doubled so that the menu shows it instead of underlining the next letter.
WString menuText(const std::string& name) {
    const WString decoded = decodeText(name);
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
    const int position = parent ? itemPosition(parent, where.itemId) : -1;
    if (position < 0) return;
    const UINT at = static_cast<UINT>(position);
    EnableMenuItem(parent, at, MF_BYPOSITION | MF_ENABLED);

    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_SUBMENU;
    if (!GetMenuItemInfoW(parent, at, TRUE, &info)) return;
    if (info.hSubMenu) {
        DestroyMenu(info.hSubMenu);
        info.hSubMenu = nullptr;
    }
    // Past its range an ID would belong to the next list.
    const int count = list ? std::min(list->count(), IDM_DYNAMIC_RANGE) : 0;
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
    SetMenuItemInfoW(parent, at, TRUE, &info);
    if (count == 0) EnableMenuItem(parent, at, MF_BYPOSITION | MF_GRAYED | MF_DISABLED);
    refreshMenu(nullptr);
}

} // namespace

void buildTrackMenu(TrackListKind list) {
    PlayLogic* logic = playLogic();
    if (!gMainFrame.mainMenu || !logic) return;
    // Without a current title the chapter popup keeps what it shows.
    if (list == TrackListKind::Chapters && logic->currentIndex(TrackListKind::Titles) < 0) return;
    buildDynamicMenu(kDynamicMenus[static_cast<int>(list)], logic->trackList(list),
                     logic->currentIndex(list));
}

bool trackItemOfCommand(UINT id, TrackListKind* list, int* index) {
    for (int k = 0; k < static_cast<int>(std::size(kDynamicMenus)); ++k) {
        const UINT first = kDynamicMenus[k].firstId;
        if (id < first || id >= first + IDM_DYNAMIC_RANGE) continue;
        *list = static_cast<TrackListKind>(k);
        *index = static_cast<int>(id - first);
        return true;
    }
    return false;
}
