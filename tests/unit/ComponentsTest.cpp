// The real Tavrin.dll beside the test executable: its record, its storage in the registry and
// the program's behaviour when the library is missing.
#include "tests/unit/gtest_wine.h"

#include <cstddef>

#include "engine/Preferences.h"
#include "platform/WString.h"

namespace {

const wchar_t kPreferencesKey[] = L"Software\\Quondel\\Velloran\\Preferences";

void clearStored() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kPreferencesKey);
}

void store(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPreferencesKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void storeDword(const wchar_t* name, DWORD value) {
    store(name, REG_DWORD, &value, sizeof(value));
}

void storeText(const wchar_t* name, const WString& text) {
    store(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

PreferenceData current() {
    GetPreferenceDataFn get = components::getPreferenceData();
    EXPECT_NE(get, nullptr);
    PreferenceData data{};
    if (get) data = *get();
    return data;
}

class Components : public ::testing::Test {
protected:
    void SetUp() override {
        components::setLibraryFolder(nullptr);
        clearStored();
    }
    void TearDown() override {
        clearStored();
        components::setLibraryFolder(nullptr);
    }
};

TEST_F(Components, DefaultsWithNothingStored) {
    PreferenceData data = current();
    EXPECT_EQ(WString(data.subtitleFont), WString(L"Arial"));
    EXPECT_EQ(data.subtitleColor, 0x00FFFFFFu);
    EXPECT_EQ(data.subtitleAutodetectUtf8, 1);
    EXPECT_GT(data.seekStep, 0);
    EXPECT_GT(data.subtitleFontSize, 0);
    EXPECT_GT(wideLength(data.snapshotFolder), 0u);
    // The program's own fallback is the same record.
    PreferenceData fallback{};
    components::defaultPreferenceData(fallback);
    EXPECT_EQ(fallback.seekStep, data.seekStep);
    EXPECT_EQ(WString(fallback.subtitleFont), WString(data.subtitleFont));
    EXPECT_EQ(WString(fallback.snapshotFolder), WString(data.snapshotFolder));
}

TEST_F(Components, StoredValuesAreReadBack) {
    storeDword(L"SeekStep", 30);
    storeText(L"SubtitleFont", L"Verdana");
    storeDword(L"SubtitleColor", 0x0000FFFF);
    storeText(L"SnapshotFolder", L"C:\\shots");
    storeDword(L"SubtitleAutodetectUtf8", 0);
    PreferenceData data = current();
    EXPECT_EQ(data.seekStep, 30);
    EXPECT_EQ(WString(data.subtitleFont), WString(L"Verdana"));
    EXPECT_EQ(data.subtitleColor, 0x0000FFFFu);
    EXPECT_EQ(WString(data.snapshotFolder), WString(L"C:\\shots"));
    EXPECT_EQ(data.subtitleAutodetectUtf8, 0);
}

TEST_F(Components, CorruptStoredValuesFallBackToTheDefaults) {
    PreferenceData defaults = current();
    storeText(L"SeekStep", L"thirty"); // wrong type
    BYTE three[3] = {1, 2, 3};
    store(L"SubtitleColor", REG_BINARY, three, 3);  // wrong size
    storeText(L"SubtitleFont", WString(600, L'x')); // longer than the field
    storeDword(L"SubtitleFontSize", 0xFFFFFFFF);    // out of range
    store(L"SnapshotFolder", REG_BINARY, three, 3); // wrong type
    PreferenceData data = current();
    EXPECT_EQ(data.seekStep, defaults.seekStep);
    EXPECT_EQ(data.subtitleColor, defaults.subtitleColor);
    EXPECT_EQ(WString(data.subtitleFont), WString(defaults.subtitleFont));
    EXPECT_EQ(data.subtitleFontSize, defaults.subtitleFontSize);
    EXPECT_EQ(WString(data.snapshotFolder), WString(defaults.snapshotFolder));
}

TEST_F(Components, AMissingLibraryGivesNoFunctionsAndNoCrash) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    WString empty = WString(temp) + L"velloran-no-components";
    CreateDirectoryW(empty.c_str(), nullptr);
    components::setLibraryFolder(empty.c_str());
    EXPECT_EQ(components::getPreferenceData(), nullptr);
    EXPECT_EQ(components::openPreferenceDialog(), nullptr);
    EXPECT_EQ(components::openFileDialog(), nullptr);
    EXPECT_EQ(components::brellixShow(), nullptr);
    // Asked again: still missing, still no crash (a failed load is retried each time).
    EXPECT_EQ(components::getPreferenceData(), nullptr);
    components::setLibraryFolder(nullptr);
    EXPECT_NE(components::getPreferenceData(), nullptr);
    EXPECT_NE(components::brellixShow(), nullptr);
    RemoveDirectoryW(empty.c_str());
}

TEST_F(Components, TheExitComponentLetsTheCloseGoOn) {
    BrellixShowFn show = components::brellixShow();
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show(nullptr, L"Velloran", L"http://example/ads/velloran/ads.php"), 0);
}

} // namespace
