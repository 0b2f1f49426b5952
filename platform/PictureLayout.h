// Where a decoded picture goes in the window it is shown in: scaled to the window and
// letterboxed to its display aspect ratio, or at a zoom factor of its own height, centred either
// way; and which point of the picture a point of the window shows. Pure arithmetic: the engine
// keeps the layout, the host draws and maps the pointer by it.
#pragma once

#include <string>

struct PictureBox {
    int left = 0, top = 0, right = 0, bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const PictureBox&) const = default;
};

// "16:9", "2.35:1": the ratio as a number, 0 when the text is not a ratio.
double parseRatio(const std::string& text);

struct PictureLayout {
    // The decoded picture's visible size (libVLC's buffer may have more lines).
    unsigned visibleWidth = 0, visibleHeight = 0;
    double pixelAspect = 1.0; // the sample aspect ratio
    std::string aspect;       // a forced display aspect ratio ("16:9"); empty: the picture's own
    float scale = 0.0f;       // zoom: window lines per picture line; 0 fits the window

    // width x sample aspect ratio / height, unless a valid ratio is forced.
    double displayAspect() const;
    // The picture's place in a client area of clientWidth x clientHeight pixels; it may reach
    // past the edges when zoomed. Empty while the visible size is unknown.
    PictureBox place(int clientWidth, int clientHeight) const;
    // The point of the visible picture shown at (x, y) of that client area; false outside it.
    bool pictureAt(int clientWidth, int clientHeight, int x, int y, int* pictureX,
                   int* pictureY) const;
};
