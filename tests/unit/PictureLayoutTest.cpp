// Where the picture goes in the video window and which picture point a window point shows.
#include "tests/unit/gtest_wine.h"

#include <array>
#include <iterator>

#include "platform/PictureLayout.h"

TEST(PictureLayout, PlacesThePictureAndMapsWindowPointsIntoIt) {
    struct Row {
        unsigned width, height;
        double sar;
        const char* aspect;
        float scale;
        int clientWidth, clientHeight;
        std::array<int, 4> box; // left, top, right, bottom
        int x, y;
        bool inside;
        int pictureX, pictureY;
    };
    const Row rows[] = {
        // 4:3 between bands at the sides; then forced 16:9, wider
        {320, 240, 1, "", 0, 480, 240, {80, 0, 400, 240}, 240, 120, true, 160, 120},
        {320, 240, 1, "16:9", 0, 480, 240, {26, 0, 453, 240}, 25, 120, false, 0, 0},
        // anamorphic PAL between bands at the top and the bottom; a forced ratio wins over it
        {720, 576, 64.0 / 45, "", 0, 640, 480, {0, 60, 640, 420}, 320, 240, true, 360, 288},
        {720, 576, 64.0 / 45, "2.35:1", 0, 1000, 400, {30, 0, 970, 400}, 500, 200, true, 360, 288},
        // the right edge is outside the picture
        {720, 480, 8.0 / 9, "", 0, 800, 480, {80, 0, 720, 480}, 720, 10, false, 0, 0},
        // a text that is no ratio leaves the picture's own
        {320, 240, 1, "wide", 0, 480, 240, {80, 0, 400, 240}, 80, 0, true, 0, 0},
        // zoomed to half and to double the picture's height, past the window's edges
        {320, 240, 1, "", 0.5f, 480, 240, {160, 60, 320, 180}, 200, 100, true, 80, 80},
        {320, 240, 1, "", 2, 480, 240, {-80, -120, 560, 360}, 0, 0, true, 40, 60},
        // the size is not known yet
        {0, 0, 1, "", 0, 480, 240, {0, 0, 0, 0}, 10, 10, false, 0, 0},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i);
        PictureLayout layout;
        layout.visibleWidth = row.width;
        layout.visibleHeight = row.height;
        layout.pixelAspect = row.sar;
        layout.aspect = row.aspect;
        layout.scale = row.scale;
        const PictureBox box = layout.place(row.clientWidth, row.clientHeight);
        EXPECT_EQ((std::array<int, 4>{box.left, box.top, box.right, box.bottom}), row.box);
        int px = -1, py = -1;
        EXPECT_EQ(layout.pictureAt(row.clientWidth, row.clientHeight, row.x, row.y, &px, &py),
                  row.inside);
        if (row.inside) {
            EXPECT_EQ(px, row.pictureX);
            EXPECT_EQ(py, row.pictureY);
        }
    }
}
