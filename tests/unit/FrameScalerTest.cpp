#include "tests/unit/gtest_wine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/wine/frame_scaler.h"

// The presenter converts a picture in bands of rows; put together they must be the picture
// converted whole, at every size it may be shown at (smaller, 1:1, larger, odd, and widths that
// are no whole number of libswscale's 8-pixel groups), and nothing may be written past a band.
TEST(FrameScaler, BandsPutTogetherAreThePictureConvertedWhole) {
    // Rows padded as the presenter's picture buffers pad them: libswscale reads whole groups.
    const int sw = 714, sh = 576, lumaPitch = 768, chromaPitch = lumaPitch / 2;
    std::vector<uint8_t> y(lumaPitch * sh), u(chromaPitch * sh / 2), v(chromaPitch * sh / 2);
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = static_cast<uint8_t>(i * 7 + i / lumaPitch * 3);
    for (size_t i = 0; i < u.size(); ++i) {
        u[i] = static_cast<uint8_t>(i * 5);
        v[i] = static_cast<uint8_t>(i * 11 + 3);
    }
    const uint8_t* planes[3] = {y.data(), u.data(), v.data()};
    const int pitches[3] = {lumaPitch, chromaPitch, chromaPitch};
    const int sizes[][2] = {{333, 251}, {714, 576}, {1002, 564}, {1800, 1440}};
    const size_t guard = 64;
    for (const auto& size : sizes) {
        const int tw = size[0], th = size[1], pitch = frame_scaler_pitch(tw);
        frame_scaler* scaler = frame_scaler_create();
        const int alignment = frame_scaler_prepare(scaler, sw, sh, 0, tw, th);
        ASSERT_GT(alignment, 0);
        std::vector<uint8_t> whole(static_cast<size_t>(pitch) * th), banded(whole.size());
        ASSERT_EQ(frame_scaler_convert(scaler, planes, pitches, sw, sh, 0, whole.data(), pitch, tw,
                                       th, 0, th),
                  0);
        const int bandRows = 16 * alignment;
        const size_t bandBytes = static_cast<size_t>(pitch) * bandRows;
        std::vector<uint8_t> band(bandBytes + guard, 0xab);
        for (int row = 0; row < th; row += bandRows) {
            const int rows = std::min(bandRows, th - row);
            ASSERT_EQ(frame_scaler_convert(scaler, planes, pitches, sw, sh, 0, band.data(), pitch,
                                           tw, th, row, rows),
                      0);
            std::memcpy(&banded[static_cast<size_t>(row) * pitch], band.data(),
                        static_cast<size_t>(rows) * pitch);
        }
        EXPECT_TRUE(
            std::all_of(band.begin() + bandBytes, band.end(), [](uint8_t b) { return b == 0xab; }))
            << "written past the band at " << tw << "x" << th;
        for (int row = 0; row < th; ++row) // the picture's pixels; the row padding is no part
            EXPECT_EQ(std::memcmp(&whole[static_cast<size_t>(row) * pitch],
                                  &banded[static_cast<size_t>(row) * pitch], tw * 4),
                      0)
                << tw << "x" << th << " row " << row;
        frame_scaler_destroy(scaler);
    }
}
