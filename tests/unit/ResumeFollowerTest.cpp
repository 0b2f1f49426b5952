#include "tests/unit/gtest_wine.h"

#include <vector>

#include "playback/DiscEndHold.h"
#include "playback/SteadyClock.h"
#include "playback/ResumeFollower.h"
#include "tests/unit/StubPlayer.h"

namespace {

const wchar_t kTestKey[] = L"Software\\Quondel\\VelloranTest\\Follower";

struct DiscFake : StubPlayer {
    int title = -1;
    std::vector<std::pair<int, int>> asked;
    int getTitle() override { return title; }
    int getChapter() override { return 1; }
    void setTitleChapter(int t, int c) override { asked.emplace_back(t, c); }
};

struct ResumeFollowerTest : ::testing::Test {
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    ResumeStore store{kTestKey};
};

} // namespace

TEST(DiscEndHoldTest, AClockStandingEightTicksAtTheEndOrFortySixElsewhereCounts) {
    struct Row {
        long long time, length;
        int ticks;  // the same clock, tick after tick
        bool ended; // on the last of them
    } rows[] = {
        {59600, 60000, 9, true},
        {59600, 60000, 8, false},
        {59400, 60000, 20, false},
        {60000, 60000, 9, true},
        {0, 0, 20, false},
        // A clip cut off half way: the clock stands where its data ended.
        {30000, 60000, 46, false},
        {30000, 60000, 47, true},
        {0, 60000, 100, false},
    };
    for (const Row& r : rows) {
        DiscEndHold hold;
        bool ended = false;
        for (int i = 0; i < r.ticks; ++i)
            ended = hold.tick(r.time, r.length);
        EXPECT_EQ(ended, r.ended) << r.time << "/" << r.length << " x" << r.ticks;
    }
    DiscEndHold moving;
    for (long long t = 59500; t < 60000; t += 50)
        EXPECT_FALSE(moving.tick(t, 60000));
    // The clock, read ahead, already stands at the end while pictures still come.
    DiscEndHold showing;
    for (int pictures = 100; pictures < 120; ++pictures)
        EXPECT_FALSE(showing.tick(60000, 60000, pictures));
    bool ended = false;
    for (int i = 0; i < 9; ++i)
        ended = showing.tick(60000, 60000, 120);
    EXPECT_TRUE(ended);
}

TEST(SteadyClockTest, RunsOnBetweenSeldomReportsAndFollowsSeeksAndStops) {
    // libVLC's reports on a Blu-ray as seen: 0 for 2 s, 1.5 s for 5 s, then 6.9 s.
    SteadyClock clock;
    long long last = -1;
    for (unsigned long long wall = 0; wall <= 8000; wall += 250) {
        const long long reported = wall < 2250 ? 0 : wall < 7250 ? 1523 : 6930;
        const long long shown = clock.shown(reported, wall, true);
        EXPECT_GE(shown, reported - 2000) << wall;
        EXPECT_LE(shown, reported + 5000) << wall;
        if (reported > 0) EXPECT_GT(shown, last) << wall; // it moves on every tick
        last = shown;
    }
    struct Row {
        long long reported;
        unsigned long long wall;
        bool running;
        long long shown;
    } rows[] = {
        {2000, 9000, true, 2000},    // a seek back is followed at once
        {2000, 9500, false, 2000},   // paused: it stands
        {2000, 10000, true, 2500},   // running on
        {30000, 10250, true, 30000}, // a chapter ahead is followed at once
        {30000, 40000, true, 35000}, // the data stopped coming: it stops 5 s on
    };
    for (const Row& r : rows)
        EXPECT_EQ(clock.shown(r.reported, r.wall, r.running), r.shown) << r.wall;
}

TEST_F(ResumeFollowerTest, TheKeptPositionIsSoughtOnlyOnceTheSourceCanShowIt) {
    store.remember(L"film", ResumePoint{-1, -1, 100000, 600000});
    store.remember(L"disc", ResumePoint{2, 1, 100000, 600000});
    struct Row {
        const wchar_t* key;
        int listed; // titles 0 .. listed-1 on the disc
        int menuTitle, engineTitle;
        long long time, length;
        bool sought, asked;
    } rows[] = {
        {L"film", 0, -1, -1, 1000, 50000, false, false},
        {L"film", 0, -1, -1, 1000, 600000, true, false},
        {L"disc", 0, -1, 0, 1000, 600000, false, false},
        {L"disc", 2, -1, 0, 1000, 600000, false, false}, // another disc under the name
        {L"disc", 3, 2, 2, 1000, 600000, false, false},  // the title is a menu there
        {L"disc", 3, -1, 0, 1000, 600000, false, true},
        {L"disc", 3, -1, 2, 0, 600000, false, false},
        {L"disc", 3, -1, 2, 1000, 600000, true, false},
    };
    for (const Row& r : rows) {
        const bool disc = r.key[0] == L'd';
        TrackList titles;
        for (int t = 0; t < r.listed; ++t) {
            titles.add(t, "Title");
            titles[t].menu = t == r.menuTitle;
        }
        DiscFake engine;
        engine.title = r.engineTitle;
        engine.time = r.time;
        engine.length = r.length;
        ResumeFollower follower;
        follower.setStore(&store);
        follower.start(r.key, true);
        ResumePoint point;
        EXPECT_EQ(follower.follow(engine, disc, titles, &point), r.sought) << &r - rows;
        if (r.sought) EXPECT_EQ(point.time, 100000);
        EXPECT_EQ(engine.asked.size(), r.asked ? 1u : 0u) << &r - rows;
    }

    // Left before it was reached, the kept position stays; after it, the last one seen is kept.
    DiscFake engine;
    engine.time = 1000;
    engine.length = 600000;
    ResumeFollower follower;
    follower.setStore(&store);
    follower.start(L"film", true);
    follower.leave(&engine, false, TrackList());
    ResumePoint kept;
    ASSERT_TRUE(store.find(L"film", &kept));
    EXPECT_EQ(kept.time, 100000);
    follower.start(L"film", false);
    engine.time = 200000;
    follower.leave(&engine, false, TrackList());
    ASSERT_TRUE(store.find(L"film", &kept));
    EXPECT_EQ(kept.time, 200000);
}
