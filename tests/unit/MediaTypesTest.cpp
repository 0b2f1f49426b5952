#include "tests/unit/gtest_wine.h"

#include <vector>

#include "app/Velloran.h"
#include "playback/MediaTypes.h"

namespace {

// The NUL-terminated texts of a double-NUL-terminated filter buffer, and the total length in
// characters up to and including the final NUL.
std::vector<WString> splitFilter(const wchar_t* filter, size_t* totalLength) {
    std::vector<WString> texts;
    const wchar_t* p = filter;
    while (*p) {
        const size_t n = wideLength(p);
        texts.emplace_back(p, n);
        p += n + 1;
    }
    *totalLength = static_cast<size_t>(p - filter) + 1;
    return texts;
}

size_t countOf(const WString& text, wchar_t c) {
    size_t n = 0;
    for (wchar_t x : text)
        n += x == c ? 1 : 0;
    return n;
}

} // namespace

TEST(MediaTypes, MediaExtensionsDropEveryAsteriskAndAreCached) {
    Velloran app;
    const WString& first = app.getMediaExtensions();
    EXPECT_EQ(first.size(), 532u);
    EXPECT_EQ(first.substr(0, 16), WString(L".3g2;.3gp;.3gp2;"));
    EXPECT_EQ(countOf(first, L'*'), 0u);
    // The odd entries stand as they are: no dot before f4v, two before tod.
    EXPECT_NE(first.find(L";f4v;"), WString::npos);
    EXPECT_NE(first.find(L";..tod;"), WString::npos);
    // Video then audio: the last video entry runs straight into the first audio entry.
    EXPECT_NE(first.find(L".wmv;.3ga;"), WString::npos);
    EXPECT_EQ(first.substr(first.size() - 4), WString(L";.xm"));

    const WString* address = &first;
    const WString copy = first;
    EXPECT_EQ(&app.getMediaExtensions(), address);
    EXPECT_EQ(app.getMediaExtensions(), copy);
}

TEST(MediaTypes, OpenFilterIsFourLabelPatternPairsEndingInDoubleNul) {
    Velloran app;
    const wchar_t* filter = app.buildOpenFilter();
    ASSERT_NE(filter, nullptr);
    size_t total = 0;
    std::vector<WString> texts = splitFilter(filter, &total);
    ASSERT_EQ(texts.size(), 8u);

    const WString video = widenBytes(kVideoExtensions);
    const WString audio = widenBytes(kAudioExtensions);
    const WString combined = video + L";" + audio;
    EXPECT_EQ(combined.size(), 636u);
    EXPECT_EQ(texts[0], L"Media Files(" + combined + L")");
    EXPECT_EQ(texts[1], combined);
    EXPECT_EQ(texts[2], L"Video Files(" + video + L")");
    EXPECT_EQ(texts[3], video);
    EXPECT_EQ(texts[4], L"Audio Files(" + audio + L")");
    EXPECT_EQ(texts[5], audio);
    EXPECT_EQ(texts[6], WString(L"All Files(*.*)"));
    EXPECT_EQ(texts[7], WString(L"*.*"));

    EXPECT_EQ(total, (12 + 636 + 1 + 636 + 2) + (12 + 329 + 1 + 329 + 2) +
                         (12 + 306 + 1 + 306 + 2) + (14 + 3 + 2) + 1);

    EXPECT_EQ(app.buildOpenFilter(), filter); // built once, kept by the object
}
