#include "platform/PictureLayout.h"

#include <cstdio>

double parseRatio(const std::string& text) {
    double a = 0, b = 0;
    if (std::sscanf(text.c_str(), "%lf:%lf", &a, &b) != 2 || a <= 0 || b <= 0) return 0;
    return a / b;
}

double PictureLayout::displayAspect() const {
    const double forced = parseRatio(aspect);
    if (forced > 0) return forced;
    return static_cast<double>(visibleWidth) * pixelAspect / visibleHeight;
}

PictureBox PictureLayout::place(int clientWidth, int clientHeight) const {
    if (!visibleWidth || !visibleHeight) return PictureBox{};
    const double ratio = displayAspect();
    double w, h;
    if (scale > 0) {
        h = visibleHeight * static_cast<double>(scale);
        w = h * ratio;
    } else if (clientWidth >= clientHeight * ratio) {
        h = clientHeight;
        w = clientHeight * ratio;
    } else {
        w = clientWidth;
        h = clientWidth / ratio;
    }
    const int iw = static_cast<int>(w + 0.5), ih = static_cast<int>(h + 0.5);
    PictureBox box;
    box.left = (clientWidth - iw) / 2;
    box.top = (clientHeight - ih) / 2;
    box.right = box.left + iw;
    box.bottom = box.top + ih;
    return box;
}

bool PictureLayout::pictureAt(int clientWidth, int clientHeight, int x, int y, int* pictureX,
                              int* pictureY) const {
    const PictureBox box = place(clientWidth, clientHeight);
    if (box.empty() || x < box.left || x >= box.right || y < box.top || y >= box.bottom)
        return false;
    *pictureX = static_cast<int>(static_cast<long long>(x - box.left) * visibleWidth / box.width());
    *pictureY =
        static_cast<int>(static_cast<long long>(y - box.top) * visibleHeight / box.height());
    return true;
}
