// Command dispatch for the menus, the accelerators, the control bar and the video window's
// context menu, and the rules that keep the menu items' labels, states and checks current.
#include "app/MainFrame.h"

#include "app/TrackMenus.h"
#include "mount/IsoMount.h"
#include "resources/resource.h"
#include "ui/WinUtil.h"

namespace {

struct ChannelItem {
    UINT id;
    int channel;
};

// libVLC's audio output channel numbers behind the Audio Channel items.
constexpr ChannelItem kChannels[] = {
    {IDM_CHANNEL_STEREO, 1}, {IDM_CHANNEL_REVERSE, 2}, {IDM_CHANNEL_LEFT, 3},
    {IDM_CHANNEL_RIGHT, 4},  {IDM_CHANNEL_DOLBY, 5},
};

struct AspectItem {
    UINT id;
    const char* text;
};

constexpr AspectItem kAspects[] = {
    {IDM_ASPECT_DEFAULT, ""},     {IDM_ASPECT_1_1, "1:1"},      {IDM_ASPECT_4_3, "4:3"},
    {IDM_ASPECT_16_9, "16:9"},    {IDM_ASPECT_16_10, "16:10"},  {IDM_ASPECT_221_1, "2.21:1"},
    {IDM_ASPECT_235_1, "2.35:1"}, {IDM_ASPECT_239_1, "2.39:1"}, {IDM_ASPECT_5_4, "5:4"},
};

void post(UINT id) {
    PostMessageW(gMainFrame.mainWindow, WM_COMMAND, id, 0);
}

PlayerState engineState() {
    PlayLogic* logic = gMainFrame.playLogic.get();
    return logic ? logic->state() : PlayerState::Nothing;
}

// The path whose drive Eject Disk acts on: what was opened last.
WString currentPath() {
    PlayLogic* logic = gMainFrame.playLogic.get();
    return logic ? logic->currentPath() : WString();
}

void setChecked(HMENU menu, UINT id, bool checked) {
    CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void setPlayLabel(HMENU menu, bool playing) {
    wchar_t text[32];
    lstrcpynW(text, playing ? L"Pause\tSpace" : L"Play\tSpace", 32);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    SetMenuItemInfoW(menu, IDM_PLAY, FALSE, &info);
}

void openPreferences() {
    OpenPreferenceDialogFn open = components::openPreferenceDialog();
    if (!open) {
        reportMissingComponent(components::kPreferencesLibrary);
        return;
    }
    if (!open()) return;
    if (GetPreferenceDataFn get = components::getPreferenceData()) {
        if (const PreferenceData* data = get()) gMainFrame.preferences = *data;
    }
}

// The subtitle list's last entry: the viewer picks a file for what plays.
void chooseSubtitleFile() {
    const WString path = chooseMediaFile(L"All file(*.*)\0*.*\0");
    // The dialog ran a message loop: the controller checks that its engine is still there.
    if (gMainFrame.playLogic) gMainFrame.playLogic->addSubtitleFile(path);
}

} // namespace

int audioChannelForCommand(UINT id) {
    for (const ChannelItem& item : kChannels)
        if (item.id == id) return item.channel;
    return -1;
}

const char* aspectTextForCommand(UINT id) {
    for (const AspectItem& item : kAspects)
        if (item.id == id) return item.text;
    return nullptr;
}

bool onDiscMenuKey(WPARAM key) {
    PlayLogic* logic = gMainFrame.playLogic.get();
    if (!logic || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    MenuAction action;
    switch (key) {
    case VK_UP:
        action = MenuAction::Up;
        break;
    case VK_DOWN:
        action = MenuAction::Down;
        break;
    case VK_LEFT:
        action = MenuAction::Left;
        break;
    case VK_RIGHT:
        action = MenuAction::Right;
        break;
    case VK_RETURN:
        action = MenuAction::Activate;
        break;
    default:
        return false;
    }
    return logic->navigateMenu(action);
}

void stopForOpen() {
    if (gMainFrame.mouseHook) {
        UnhookWindowsHookEx(gMainFrame.mouseHook);
        gMainFrame.mouseHook = nullptr;
    }
    // The cursor leaves the screen while the engine stops, so that no hover or click reaches
    // the video window during the stop; it comes back where it was.
    POINT saved{};
    GetCursorPos(&saved);
    ShowCursor(FALSE);
    SetCursorPos(-1, -1);
    if (gMainFrame.playLogic) gMainFrame.playLogic->stop();
    SetCursorPos(saved.x, saved.y);
    ShowCursor(TRUE);
}

int onCommand(UINT id) {
    PlayLogic* logic = gMainFrame.playLogic.get();
    switch (id) {
    case IDM_ABOUT:
        showAboutBox();
        return 1;
    case IDM_OPEN_FILE:
    case IDM_OPEN_DISK:
    case IDM_OPEN_ISO:
        gMainFrame.pendingOpenCommand = id == IDM_OPEN_FILE   ? PendingOpen::File
                                        : id == IDM_OPEN_DISK ? PendingOpen::Disk
                                                              : PendingOpen::Iso;
        post(IDM_STOP_THEN_OPEN);
        return 1;
    case IDM_STOP:
        gMainFrame.pendingOpenCommand = PendingOpen::None;
        post(IDM_STOP_THEN_OPEN);
        return 1;
    case IDM_STOP_THEN_OPEN: {
        stopForOpen();
        const PendingOpen pending = gMainFrame.pendingOpenCommand;
        gMainFrame.pendingOpenCommand = PendingOpen::None;
        if (pending == PendingOpen::File)
            openFileCommand();
        else if (pending == PendingOpen::Disk)
            openDiskCommand();
        else if (pending == PendingOpen::Iso)
            openIsoCommand();
        updateBarButtons();
        return 1;
    }
    case IDM_EXIT:
        PostMessageW(gMainFrame.mainWindow, WM_CLOSE, 0, 0);
        return 1;
    case IDM_FULLSCREEN:
        if (!gMainFrame.fullScreen)
            enterFullScreen();
        else
            leaveFullScreen();
        updateBarButtons();
        refreshMenu(nullptr);
        return 1;
    case IDM_LEAVE_FULLSCREEN:
        leaveFullScreen();
        updateBarButtons();
        refreshMenu(nullptr);
        return 1;
    case IDM_PLAY:
        if (logic) {
            if (!logic->isPlaying())
                logic->play();
            else
                logic->pause();
        }
        return 1;
    case IDM_PAUSE:
        if (logic) logic->pause();
        return 1;
    case IDM_PREVIOUS:
    case IDM_NEXT:
        if (logic) logic->step(id == IDM_NEXT ? 1 : -1);
        return 1;
    case IDM_FORWARD:
    case IDM_BACKWARD:
        if (logic) logic->seek(id == IDM_FORWARD ? 1 : -1);
        return 1;
    case IDM_START_OVER:
        if (logic) logic->startOver();
        return 1;
    case IDM_PREVIOUS_CHAPTER:
    case IDM_NEXT_CHAPTER:
        if (logic) logic->stepChapter(id == IDM_NEXT_CHAPTER ? 1 : -1);
        return 1;
    case IDM_DISC_MENU:
    case IDM_POPUP_MENU:
        if (logic)
            logic->showDiscMenu(id == IDM_DISC_MENU ? DiscMenuKind::Top : DiscMenuKind::Popup);
        return 1;
    case IDM_VOLUME_UP:
    case IDM_VOLUME_DOWN:
        if (logic) logic->stepVolume(id == IDM_VOLUME_UP ? 1 : -1);
        return 1;
    case IDM_MUTE:
        if (logic) logic->toggleMute();
        return 1;
    case IDM_EJECT_DISK:
        if (gMainFrame.mounts.ejectDisc(currentPath(), isActive(engineState())) && logic)
            logic->closeAll();
        updateBarButtons();
        return 1;
    case IDM_HALF_SIZE:
    case IDM_NORMAL_SIZE:
    case IDM_DOUBLE_SIZE:
    case IDM_FIT_TO_SCREEN:
        setVideoSize(id);
        return 1;
    case IDM_PREFERENCES:
        openPreferences();
        return 1;
    case IDM_SNAPSHOT:
        if (logic) logic->takeSnapshot(WString(gMainFrame.preferences.snapshotFolder));
        return 1;
    default:
        break;
    }
    if (const char* ratio = aspectTextForCommand(id)) {
        // "Default" is the empty text: the picture's own shape.
        if (logic) logic->applyAspectRatio(*ratio ? ratio : nullptr);
        refreshMenu(nullptr);
        return 1;
    }
    int channel = audioChannelForCommand(id);
    if (channel >= 0) {
        if (logic) logic->setAudioChannel(channel);
        return 1;
    }
    TrackListKind list;
    int index = -1;
    if (trackItemOfCommand(id, &list, &index)) {
        if (logic && logic->selectItem(list, index) == ListChoice::ChooseSubtitleFile)
            chooseSubtitleFile();
        return 1;
    }
    return 0;
}

void refreshMenu(HMENU menu) {
    HMENU target = menu ? menu : gMainFrame.mainMenu;
    if (!target) return;
    int count = GetMenuItemCount(target);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(target, static_cast<UINT>(i), TRUE, &info)) continue;
        if (info.hSubMenu)
            refreshMenu(info.hSubMenu);
        else
            updateMenuItem(target, info.wID);
    }
    if (gMainFrame.mainWindow && GetMenu(gMainFrame.mainWindow))
        SetMenu(gMainFrame.mainWindow, gMainFrame.mainMenu);
}

void updateMenuItem(HMENU menu, UINT id) {
    PlayLogic* logic = gMainFrame.playLogic.get();
    bool active = isActive(engineState());
    bool listed = logic && logic->playList().count() >= 1;
    bool playing = logic && logic->isPlaying();

    switch (id) {
    case IDM_OPEN_FILE:
    case IDM_OPEN_DISK:
        enableMenuItem(menu, id, true);
        return;
    case IDM_FULLSCREEN:
        enableMenuItem(menu, id, !gMainFrame.fullScreen);
        return;
    case IDM_LEAVE_FULLSCREEN:
        enableMenuItem(menu, id, gMainFrame.fullScreen);
        return;
    case IDM_PLAY:
        setPlayLabel(menu, playing);
        enableMenuItem(menu, id, listed);
        return;
    case IDM_PAUSE:
        enableMenuItem(menu, id, listed);
        return;
    case IDM_STOP_THEN_OPEN:
    case IDM_STOP:
    case IDM_SNAPSHOT:
    case IDM_START_OVER:
        enableMenuItem(menu, id, active);
        return;
    case IDM_FORWARD:
    case IDM_BACKWARD:
        enableMenuItem(menu, id, playing);
        return;
    case IDM_PREVIOUS:
    case IDM_NEXT:
        enableMenuItem(menu, id, logic && logic->canSkip());
        return;
    case IDM_PREVIOUS_CHAPTER:
    case IDM_NEXT_CHAPTER:
        enableMenuItem(menu, id, logic && logic->canStepChapter());
        return;
    case IDM_DISC_MENU:
    case IDM_POPUP_MENU:
        enableMenuItem(menu, id,
                       logic && logic->hasDiscMenu(id == IDM_DISC_MENU ? DiscMenuKind::Top
                                                                       : DiscMenuKind::Popup));
        return;
    case IDM_EJECT_DISK:
        enableMenuItem(menu, id, gMainFrame.mounts.canEjectDisc(currentPath(), active));
        return;
    case IDM_HALF_SIZE:
    case IDM_NORMAL_SIZE:
    case IDM_DOUBLE_SIZE:
    case IDM_FIT_TO_SCREEN:
        enableMenuItem(menu, id, listed);
        return;
    case IDM_AUDIO_TRACK:
    case IDM_TITLE:
    case IDM_CHAPTER:
    case IDM_VIDEO_TRACK:
    case IDM_SUBTITLE_TRACK:
        enableMenuItem(menu, id, false);
        return;
    default:
        break;
    }
    if (const char* aspect = aspectTextForCommand(id)) {
        enableMenuItem(menu, id, listed);
        setChecked(menu, id, logic && logic->aspectRatio() == aspect);
        return;
    }
    int channel = audioChannelForCommand(id);
    if (channel >= 0) {
        enableMenuItem(menu, id, active);
        setChecked(menu, id, (logic ? logic->getAudioChannel() : -1) == channel);
        return;
    }
    TrackListKind list;
    int index = -1;
    if (logic && trackItemOfCommand(id, &list, &index))
        setChecked(menu, id, index == logic->currentIndex(list));
}
