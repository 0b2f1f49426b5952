#include "tests/unit/gtest_wine.h"

#include <climits>
#include <vector>

#include "playback/ResumeStore.h"
#include "platform/Scoped.h"

namespace {

const wchar_t kTestKey[] = L"Software\\Quondel\\VelloranTest\\Resume";

struct ResumeStoreTest : ::testing::Test {
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    ResumeStore store{kTestKey};
    ResumePoint found;
};

ResumePoint at(long long time, long long length, int title = -1, int chapter = -1) {
    return ResumePoint{title, chapter, time, length};
}

} // namespace

TEST_F(ResumeStoreTest, OnlyPositionsAwayFromBothEndsAreKept) {
    const long long rows[][3] = {
        {29999, 600000, 0},    {30000, 600000, 1}, {570000, 600000, 0}, {3419999, 3600000, 1},
        {3420000, 3600000, 0}, {40000, 70000, 1},  {40001, 70000, 0},   {30000, 59999, 0},
    };
    for (const auto& r : rows) {
        store.remember(L"c:\\film.mkv", at(r[0], r[1]));
        EXPECT_EQ(store.find(L"c:\\film.mkv", &found), r[2] == 1) << r[0] << "/" << r[1];
    }    // A length read back from the registry may be any number.
    EXPECT_FALSE(ResumeStore::worthKeeping(LLONG_MAX - 40000, LLONG_MAX));
    EXPECT_TRUE(ResumeStore::worthKeeping(LLONG_MAX / 2, LLONG_MAX));
}

TEST_F(ResumeStoreTest, TheOldestGoPastTheLimitAndDiscPointsComeBackWhole) {
    store.remember(L"volume 1234ABCD FILM", at(95000, 1800000, 2, 3));
    for (int i = 0; i < ResumeStore::kMaxEntries + 4; ++i)
        store.remember(formatWide(L"c:\\f%d.mkv", i), at(60000 + i, 600000));
    EXPECT_EQ(store.count(), ResumeStore::kMaxEntries);
    EXPECT_FALSE(store.find(L"volume 1234ABCD FILM", &found));
    EXPECT_FALSE(store.find(L"c:\\f3.mkv", &found));
    // Using an entry again makes it the newest: the next oldest goes instead.
    store.remember(L"c:\\f4.mkv", at(61000, 600000));
    store.remember(L"volume 1234ABCD FILM", at(95000, 1800000, 2, 3));
    EXPECT_EQ(store.count(), ResumeStore::kMaxEntries);
    EXPECT_TRUE(store.find(L"c:\\f4.mkv", &found));
    EXPECT_FALSE(store.find(L"c:\\f5.mkv", &found));
    ASSERT_TRUE(store.find(L"volume 1234ABCD FILM", &found));
    EXPECT_EQ(found.title * 10 + found.chapter, 23);
    EXPECT_EQ(found.time + found.length, 1895000);
}

TEST_F(ResumeStoreTest, CorruptOrOversizedEntriesAreIgnoredAndReplaced) {
    store.remember(L"good", at(60000, 600000));
    ScopedKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_ALL_ACCESS, key.out()), 0);
    std::vector<BYTE> good(112);
    DWORD size = 112;
    ASSERT_EQ(RegQueryValueExW(key.get(), L"good", nullptr, nullptr, good.data(), &size), 0);
    std::vector<BYTE> pastEnd = good, oversized = good, shorter(good.begin(), good.end() - 1);
    pastEnd[18] = 0xFF; // the time, now past the length
    oversized.resize(4096);
    struct Bad {
        const wchar_t* name;
        DWORD type;
        const std::vector<BYTE>& data;
    } bad[] = {{L"past end", REG_BINARY, pastEnd},
               {L"oversized", REG_BINARY, oversized},
               {L"short", REG_BINARY, shorter},
               {L"text", REG_SZ, good}};
    for (const Bad& b : bad) {
        RegSetValueExW(key.get(), b.name, 0, b.type, b.data.data(), (DWORD)b.data.size());
        EXPECT_FALSE(store.find(b.name, &found)) << narrowBytes(b.name);
        store.remember(b.name, at(70000, 600000));
        EXPECT_TRUE(store.find(b.name, &found) && found.time == 70000) << narrowBytes(b.name);
    }
    EXPECT_TRUE(store.find(L"good", &found));
}
