#include "components/tavrin/PreferenceDialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include "components/tavrin/FolderChooser.h"
#include "components/tavrin/PreferenceStore.h"
#include "components/tavrin/TavrinResource.h"
#include "platform/LanguagePreferences.h"
#include "platform/PreferenceDefaults.h"

namespace tavrin {
namespace {

struct DialogState {
    languages::LanguagePreferences storedLanguages{};
    languages::LanguagePreferences editedLanguages{};
    PreferenceData stored{};
    PreferenceData edited{};
    HBRUSH swatch = nullptr;
    COLORREF customColors[16] = {};
    bool saved = false;
};

template <size_t N> void fillCombo(HWND dialog, int id, const Choice (&choices)[N], int value) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    int selected = 0;
    for (size_t i = 0; i < N; ++i) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choices[i].text));
        if (choices[i].value == value) selected = static_cast<int>(i);
    }
    SendMessageW(combo, CB_SETCURSEL, selected, 0);
}

template <size_t N> int comboValue(HWND dialog, int id, const Choice (&choices)[N]) {
    LRESULT i = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    return (i >= 0 && static_cast<size_t>(i) < N) ? choices[i].value : choices[0].value;
}

void setSwatch(HWND dialog, DialogState& state, COLORREF color) {
    state.edited.subtitleColor = color & 0x00FFFFFFu;
    if (state.swatch) DeleteObject(state.swatch);
    state.swatch = CreateSolidBrush(state.edited.subtitleColor);
    InvalidateRect(GetDlgItem(dialog, IDC_SUB_COLOR_SWATCH), nullptr, TRUE);
}

void showRecord(HWND dialog, DialogState& state, const PreferenceData& data) {
    state.edited = data;
    SetDlgItemTextW(dialog, IDC_SNAPSHOT_FOLDER, data.snapshotFolder);
    SendDlgItemMessageW(dialog, IDC_SEEK_STEP_SPIN, UDM_SETRANGE32, kMinSeekStep, kMaxSeekStep);
    SetDlgItemInt(dialog, IDC_SEEK_STEP, static_cast<UINT>(data.seekStep), TRUE);
    SetDlgItemTextW(dialog, IDC_SUB_FONT, data.subtitleFont);
    fillCombo(dialog, IDC_SUB_SIZE, kFontSizes, data.subtitleFontSize);
    fillCombo(dialog, IDC_SUB_ALIGN, kAlignments, data.subtitleAlign);
    fillCombo(dialog, IDC_SUB_ENCODING, kEncodings, data.subtitleEncoding);
    CheckDlgButton(dialog, IDC_SUB_AUTODETECT, data.subtitleAutodetectUtf8 ? BST_CHECKED : 0);
    CheckDlgButton(dialog, IDC_SUB_FORMATTED, data.subtitleFormatted ? BST_CHECKED : 0);
    setSwatch(dialog, state, data.subtitleColor);
}

// The three language lists: the default first, for subtitles "None" next, then the languages.
// Item data: the code's index in kLanguages, -1 for the default, -2 for "None", -3 for subtitles
// only while the audio is in another language.
struct LanguageList {
    int id;
    wchar_t* (*field)(languages::LanguagePreferences&);
    const wchar_t* defaultText;
    bool subtitle;
};

const LanguageList kLanguageLists[] = {
    {IDC_AUDIO_LANGUAGE, [](languages::LanguagePreferences& p) { return p.audio; },
     L"The system's language", false},
    {IDC_SUBTITLE_LANGUAGE, [](languages::LanguagePreferences& p) { return p.subtitle; },
     L"As the disc chooses", true},
    {IDC_MENU_LANGUAGE, [](languages::LanguagePreferences& p) { return p.menu; },
     L"The system's language", false},
};

void addLanguage(HWND combo, const wchar_t* text, int data, bool selected) {
    const LRESULT at = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(combo, CB_SETITEMDATA, at, data);
    if (selected) SendMessageW(combo, CB_SETCURSEL, at, 0);
}

void showLanguages(HWND dialog, languages::LanguagePreferences& chosen) {
    for (const LanguageList& list : kLanguageLists) {
        HWND combo = GetDlgItem(dialog, list.id);
        const wchar_t* code = list.field(chosen);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        addLanguage(combo, list.defaultText, -1, !code[0]);
        if (list.subtitle) {
            addLanguage(combo, L"None", -2, lstrcmpW(code, languages::kNoSubtitles) == 0);
            addLanguage(combo, L"Mine, when the audio is in another language", -3,
                        lstrcmpW(code, languages::kForeignOnly) == 0);
        }
        int i = 0;
        for (const languages::Language& language : languages::kLanguages)
            addLanguage(combo, language.name, i++, lstrcmpW(code, language.code) == 0);
    }
}

void readLanguages(HWND dialog, languages::LanguagePreferences& out) {
    for (const LanguageList& list : kLanguageLists) {
        HWND combo = GetDlgItem(dialog, list.id);
        const LRESULT at = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        const int data = at < 0 ? -1 : static_cast<int>(SendMessageW(combo, CB_GETITEMDATA, at, 0));
        const wchar_t* code = data >= 0    ? languages::kLanguages[data].code
                              : data == -2 ? languages::kNoSubtitles
                              : data == -3 ? languages::kForeignOnly
                                           : L"";
        lstrcpynW(list.field(out), code, 8);
    }
}

bool sameLanguages(languages::LanguagePreferences a, languages::LanguagePreferences b) {
    for (const LanguageList& list : kLanguageLists)
        if (lstrcmpW(list.field(a), list.field(b)) != 0) return false;
    return true;
}

bool refuse(HWND dialog, int control, const wchar_t* text) {
    MessageBoxW(dialog, text, L"Preferences", MB_OK | MB_ICONWARNING);
    HWND field = GetDlgItem(dialog, control);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    return false;
}

// Reads the controls into state.edited; on bad input says what is wrong and keeps the dialog.
bool readRecord(HWND dialog, DialogState& state) {
    PreferenceData& d = state.edited;
    wchar_t text[300] = {};
    GetDlgItemTextW(dialog, IDC_SNAPSHOT_FOLDER, text, 300);
    DWORD attributes = GetFileAttributesW(text);
    if (!isValidFolderText(text) || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return refuse(dialog, IDC_SNAPSHOT_FOLDER, L"The snapshot folder does not exist.");
    lstrcpynW(d.snapshotFolder, text, 260);

    BOOL numeric = FALSE;
    int step = static_cast<int>(GetDlgItemInt(dialog, IDC_SEEK_STEP, &numeric, TRUE));
    if (!numeric || step < kMinSeekStep || step > kMaxSeekStep)
        return refuse(dialog, IDC_SEEK_STEP,
                      L"The step must be a whole number of seconds from 1 to 600.");
    d.seekStep = step;

    GetDlgItemTextW(dialog, IDC_SUB_FONT, text, 300);
    if (!isValidFontName(text))
        return refuse(dialog, IDC_SUB_FONT,
                      L"Enter a font name of up to 31 Latin letters, digits or spaces.");
    lstrcpynW(d.subtitleFont, text, 260);

    d.subtitleFontSize = comboValue(dialog, IDC_SUB_SIZE, kFontSizes);
    d.subtitleAlign = comboValue(dialog, IDC_SUB_ALIGN, kAlignments);
    d.subtitleEncoding = comboValue(dialog, IDC_SUB_ENCODING, kEncodings);
    d.subtitleAutodetectUtf8 = IsDlgButtonChecked(dialog, IDC_SUB_AUTODETECT) == BST_CHECKED;
    d.subtitleFormatted = IsDlgButtonChecked(dialog, IDC_SUB_FORMATTED) == BST_CHECKED;
    return true;
}

void chooseFont(HWND dialog) {
    LOGFONTW font{};
    GetDlgItemTextW(dialog, IDC_SUB_FONT, font.lfFaceName, LF_FACESIZE);
    font.lfHeight = -16;
    CHOOSEFONTW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = dialog;
    choose.lpLogFont = &font;
    choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_NOSCRIPTSEL;
    if (ChooseFontW(&choose)) SetDlgItemTextW(dialog, IDC_SUB_FONT, font.lfFaceName);
}

void chooseColor(HWND dialog, DialogState& state) {
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = dialog;
    choose.rgbResult = state.edited.subtitleColor;
    choose.lpCustColors = state.customColors;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (ChooseColorW(&choose)) setSwatch(dialog, state, choose.rgbResult);
}

void browseSnapshotFolder(HWND dialog) {
    wchar_t current[MAX_PATH] = {};
    GetDlgItemTextW(dialog, IDC_SNAPSHOT_FOLDER, current, MAX_PATH);
    wchar_t chosen[MAX_PATH] = {};
    if (browseForFolder(dialog, L"Choose the folder for snapshots", current, chosen, MAX_PATH))
        SetDlgItemTextW(dialog, IDC_SNAPSHOT_FOLDER, chosen);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        state = reinterpret_cast<DialogState*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SendDlgItemMessageW(dialog, IDC_SNAPSHOT_FOLDER, EM_LIMITTEXT, 259, 0);
        SendDlgItemMessageW(dialog, IDC_SUB_FONT, EM_LIMITTEXT, 31, 0);
        showRecord(dialog, *state, state->stored);
        showLanguages(dialog, state->storedLanguages);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (state && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_SUB_COLOR_SWATCH))
            return reinterpret_cast<INT_PTR>(state->swatch);
        return FALSE;
    case WM_COMMAND:
        if (!state) return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_SNAPSHOT_BROWSE: browseSnapshotFolder(dialog); return TRUE;
        case IDC_SUB_FONT_CHOOSE: chooseFont(dialog); return TRUE;
        case IDC_SUB_COLOR: chooseColor(dialog, *state); return TRUE;
        case IDC_RESTORE_DEFAULTS: {
            PreferenceData defaults;
            fillDefaults(defaults);
            showRecord(dialog, *state, defaults);
            languages::LanguagePreferences none;
            showLanguages(dialog, none);
            return TRUE;
        }
        case IDOK:
            if (!readRecord(dialog, *state)) return TRUE;
            readLanguages(dialog, state->editedLanguages);
            if (!sameLanguages(state->editedLanguages, state->storedLanguages)) {
                if (!languages::writeLanguagePreferences(state->editedLanguages)) {
                    MessageBoxW(dialog, L"The preferred languages could not be saved.",
                                L"Preferences", MB_OK | MB_ICONERROR);
                    return TRUE;
                }
                state->saved = true;
            }
            if (!samePreferences(state->edited, state->stored)) {
                if (!savePreferences(state->edited)) {
                    MessageBoxW(dialog, L"The preferences could not be saved.", L"Preferences",
                                MB_OK | MB_ICONERROR);
                    return TRUE;
                }
                state->saved = true;
            }
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: return FALSE;
        }
    case WM_DESTROY:
        if (state && state->swatch) {
            DeleteObject(state->swatch);
            state->swatch = nullptr;
        }
        return FALSE;
    default: return FALSE;
    }
}

} // namespace

int runPreferenceDialog(HINSTANCE instance, HWND owner) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    DialogState state;
    loadPreferences(state.stored);
    languages::readLanguagePreferences(state.storedLanguages);
    for (COLORREF& c : state.customColors) c = RGB(255, 255, 255);
    INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PREFERENCES), owner,
                                     dialogProc, reinterpret_cast<LPARAM>(&state));
    return (result == IDOK && state.saved) ? 1 : 0;
}

} // namespace tavrin
