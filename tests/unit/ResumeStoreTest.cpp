#include "tests/unit/gtest_wine.h"

#include <vector>

#include "playback/ResumeStore.h"
#include "platform/Scoped.h"

namespace {

const wchar_t kTestKey[] = L"Software\\Quondel\\VelloranTest\\Resume";

class ResumeStoreTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

    void writeRaw(const wchar_t* name, DWORD type, const std::vector<BYTE>& data) {
        ScopedKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, key.out(), nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key.get(), name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }

    ResumeStore store{kTestKey};
};

ResumePoint at(long long time, long long length, int title = -1) {
    ResumePoint p;
    p.title = title;
    p.chapter = title >= 0 ? 0 : -1;
    p.time = time;
    p.length = length;
    return p;
}

} // namespace

TEST_F(ResumeStoreTest, OnlyPositionsAwayFromBothEndsAreKept) {
    struct Row {
        long long time, length;
        bool kept;
    } rows[] = {
        {29999, 600000, false},  {30000, 600000, true},    {540000, 600000, true},
        {570000, 600000, false}, {3419999, 3600000, true}, {3420000, 3600000, false},
        {40000, 70000, true},    {40001, 70000, false},    {30000, 59999, false},
        {30000, 0, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ResumeStore::worthKeeping(r.time, r.length), r.kept) << r.time << "/" << r.length;
        store.remember(L"c:\\film.mkv", at(r.time, r.length));
        ResumePoint found;
        EXPECT_EQ(store.find(L"c:\\film.mkv", &found), r.kept) << r.time << "/" << r.length;
        if (r.kept) EXPECT_EQ(found.time, r.time);
    }
}

TEST_F(ResumeStoreTest, DiscPointsComeBackWithTitleAndChapterAndTheOldestGoPastTheLimit) {
    ResumePoint disc = at(95000, 1800000, 2);
    disc.chapter = 3;
    store.remember(L"volume 1234ABCD FILM", disc);
    for (int i = 0; i < ResumeStore::kMaxEntries + 4; ++i)
        store.remember(formatWide(L"c:\\f%d.mkv", i), at(60000 + i, 600000));
    EXPECT_EQ(store.count(), ResumeStore::kMaxEntries);
    ResumePoint found;
    EXPECT_FALSE(store.find(L"volume 1234ABCD FILM", &found));
    EXPECT_FALSE(store.find(L"c:\\f3.mkv", &found));
    ASSERT_TRUE(store.find(L"c:\\f4.mkv", &found));
    EXPECT_EQ(found.time, 60004);
    // Using an entry again makes it the newest: the next oldest goes instead.
    store.remember(L"c:\\f4.mkv", at(61000, 600000));
    store.remember(L"volume 1234ABCD FILM", disc);
    EXPECT_EQ(store.count(), ResumeStore::kMaxEntries);
    EXPECT_TRUE(store.find(L"c:\\f4.mkv", &found));
    EXPECT_FALSE(store.find(L"c:\\f5.mkv", &found));
    ASSERT_TRUE(store.find(L"volume 1234ABCD FILM", &found));
    EXPECT_EQ(found.title, 2);
    EXPECT_EQ(found.chapter, 3);
    EXPECT_EQ(found.time, 95000);
    EXPECT_EQ(found.length, 1800000);
}

TEST_F(ResumeStoreTest, CorruptOrOversizedEntriesAreIgnoredAndReplaced) {
    store.remember(L"good", at(60000, 600000));
    ScopedKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_QUERY_VALUE, key.out()),
              ERROR_SUCCESS);
    std::vector<BYTE> good(40);
    DWORD size = 40;
    ASSERT_EQ(RegQueryValueExW(key.get(), L"good", nullptr, nullptr, good.data(), &size),
              ERROR_SUCCESS);
    std::vector<BYTE> oversized = good;
    oversized.resize(4096);
    std::vector<BYTE> pastEnd = good;
    pastEnd[16] = 0xFF; // the time's low byte: now past the end of the length
    pastEnd[17] = 0xFF;
    pastEnd[18] = 0xFF;
    writeRaw(L"oversized", REG_BINARY, oversized);
    writeRaw(L"short", REG_BINARY, std::vector<BYTE>(good.begin(), good.begin() + 39));
    writeRaw(L"text", REG_SZ, good);
    writeRaw(L"past end", REG_BINARY, pastEnd);
    ResumePoint found;
    for (const wchar_t* name : {L"oversized", L"short", L"text", L"past end"}) {
        EXPECT_FALSE(store.find(name, &found)) << narrowBytes(name);
        store.remember(name, at(70000, 600000));
        ASSERT_TRUE(store.find(name, &found)) << narrowBytes(name);
        EXPECT_EQ(found.time, 70000);
    }
    EXPECT_TRUE(store.find(L"good", &found));
}
