#include "tests/unit/gtest_wine.h"

#include "platform/WString.h"

TEST(WideString, LengthAndCompareUseUtf16CodeUnits) {
    WString hello = L"Hello";
    EXPECT_EQ(hello.size(), 5u);
    EXPECT_EQ(wideLength(L"Hello"), 5u);
    EXPECT_TRUE(WString(L"B.avi") < WString(L"a.avi"));
    EXPECT_TRUE(WString(L"10.avi") < WString(L"2.avi"));
    EXPECT_EQ(hello.find(L"lo"), 3u);
    EXPECT_EQ(hello.rfind(L'l'), 3u);
}

TEST(WideString, Utf8RoundTripKeepsNonAscii) {
    WString text = L"Fran\u00e7ais \u65e5\u672c";
    std::string utf8 = toUtf8(text);
    EXPECT_EQ(utf8, "Fran\xc3\xa7" "ais \xe6\x97\xa5\xe6\x9c\xac");
    EXPECT_EQ(fromUtf8(utf8), text);
}

TEST(WideString, FormatWideUsesWin32Formatter) {
    EXPECT_EQ(formatWide(L"%s - %d", L"Velloran", 42), WString(L"Velloran - 42"));
}
