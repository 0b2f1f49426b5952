#include "tests/unit/gtest_wine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/wine/frame_scaler.h"

// The presenter converts a picture in bands of rows; put together they must be the picture
// converted whole, at every size it may be shown at (smaller, 1:1, larger, odd).
TEST(FrameScaler, BandsPutTogetherAreThePictureConvertedWhole) {
    const int sw = 720, sh = 576;
    std::vector<uint8_t> y(sw * sh), u(sw * sh / 4), v(sw * sh / 4);
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = static_cast<uint8_t>(i * 7 + i / sw * 3);
    for (size_t i = 0; i < u.size(); ++i) {
        u[i] = static_cast<uint8_t>(i * 5);
        v[i] = static_cast<uint8_t>(i * 11 + 3);
    }
    const uint8_t* planes[3] = {y.data(), u.data(), v.data()};
    const int pitches[3] = {sw, sw / 2, sw / 2};
    const int sizes[][2] = {{333, 251}, {720, 576}, {1800, 1440}};
    for (const auto& size : sizes) {
        const int tw = size[0], th = size[1], pitch = tw * 4;
        frame_scaler* scaler = frame_scaler_create();
        const int alignment = frame_scaler_prepare(scaler, sw, sh, 0, tw, th);
        ASSERT_GT(alignment, 0);
        std::vector<uint8_t> whole(static_cast<size_t>(pitch) * th), banded(whole.size());
        ASSERT_EQ(frame_scaler_convert(scaler, planes, pitches, sw, sh, 0, whole.data(), pitch, tw,
                                       th, 0, th),
                  0);
        const int bandRows = 16 * alignment;
        std::vector<uint8_t> band(static_cast<size_t>(pitch) * bandRows);
        for (int row = 0; row < th; row += bandRows) {
            const int rows = std::min(bandRows, th - row);
            ASSERT_EQ(frame_scaler_convert(scaler, planes, pitches, sw, sh, 0, band.data(), pitch,
                                           tw, th, row, rows),
                      0);
            std::memcpy(&banded[static_cast<size_t>(row) * pitch], band.data(),
                        static_cast<size_t>(rows) * pitch);
        }
        EXPECT_TRUE(whole == banded) << tw << "x" << th;
        frame_scaler_destroy(scaler);
    }
}
