// The control bar's two sliders (seek bar and volume) and the time text: drawing into the
// off-screen buffer under the paint lock, copying the slider columns to the screen, and the
// mouse drags that seek and set the volume.
#include "ui/PlayBar.h"

#include <windowsx.h>

#include <algorithm>

#include "playback/PlayLogic.h"
#include "resources/resource.h"
#include "ui/WinUtil.h"

WString formatTime(long long ms) {
    long long seconds = ms / 1000;
    long long minutes = seconds / 60;
    long long hours = minutes / 60;
    wchar_t buffer[64] = {};
    // Each part as a 32-bit value; the hours go on counting past 24.
    wnsprintfW(buffer, 64, L"%02ld:%02ld:%02ld", static_cast<LONG>(hours),
               static_cast<LONG>(minutes % 60), static_cast<LONG>(seconds % 60));
    return WString(buffer);
}

WString timeText(long long time, long long length) {
    return formatTime(length) + L" / " + formatTime(time);
}

int PlayBar::timeKnobOffset(long long time, long long length, int trackWidth, int knobWidth) {
    const long long travel = trackWidth - knobWidth;
    long long pos = 0;
    if (length > 0) {
        pos = time * travel / length;
        if (pos > travel) pos = travel;
        if (pos < 0) pos = 0;
    }
    return static_cast<int>(pos);
}

int PlayBar::volumeKnobOffset(int volume, int trackWidth, int knobWidth) {
    return volume * (trackWidth - knobWidth) / 100;
}

double PlayBar::sliderFraction(int x, int left, int right) {
    if (right <= left) return 0.0; // a track no wider than its knob has no travel
    double f = static_cast<double>(x - left) / static_cast<double>(right - left);
    if (f < 0.0) f = 0.0;
    if (f > 1.0) f = 1.0;
    return f;
}

int PlayBar::knobWidth(int sliderId) {
    if (sliderId == IDC_BAR_TIME) {
        if (timeKnobWidth < 0) timeKnobWidth = static_cast<int>(imageWidth(timeKnob));
        return timeKnobWidth;
    }
    if (volumeKnobWidth < 0) volumeKnobWidth = static_cast<int>(imageWidth(volumeKnob));
    return volumeKnobWidth;
}

void PlayBar::updateTime(long long timeMs, long long lengthMs) {
    time = timeMs;
    length = lengthMs;
    if (time > length) time = length;
    if (time < 0) time = 0;
    if (drawBuffer.dc) {
        {
            // The layout may have replaced the buffers meanwhile: look again under the lock.
            PaintLockHold hold(paintLock);
            if (drawBuffer.dc) drawTimeBar(drawBuffer.dc);
        }
        flushSliders(nullptr);
    }
}

void PlayBar::updateVolume(int volume, bool muted) {
    const int v = muted ? 0 : volume;
    if (v == shownVolume) return;
    shownVolume = v;
    if (drawBuffer.dc) {
        {
            PaintLockHold hold(paintLock);
            if (drawBuffer.dc) drawVolumeBar(drawBuffer.dc);
        }
        flushSliders(nullptr);
    }
}

void PlayBar::drawTimeBar(HDC dc) {
    RECT r{};
    auto track = images.find(IDC_BAR_TIME);
    if (!getControlRect(window, IDC_BAR_TIME, &r) || track == images.end()) return;
    const int w = r.right - r.left;
    if (backgroundBuffer.dc)
        BitBlt(dc, r.left, 0, w, barHeight(), backgroundBuffer.dc, r.left, 0, SRCCOPY);
    const int k = knobWidth(IDC_BAR_TIME);
    const int pos = timeKnobOffset(time, length, w, k);
    if (w != 0) drawTiled(dc, track->second, r.left, r.top, w);
    if (pos != 0) drawTiled(dc, playedTile, r.left, r.top, pos);
    if (timeKnob)
        drawImageRect(dc, timeKnob, r.left + pos,
                      (r.top + r.bottom - static_cast<int>(imageHeight(timeKnob))) / 2, k,
                      static_cast<int>(imageHeight(timeKnob)));

    WString text = timeText(time, length);
    HGDIOBJ previousFont = textFont ? SelectObject(dc, textFont) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(149, 149, 149));
    RECT strip{r.left, 0, r.right, r.top};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &strip,
              DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
    if (previousFont) SelectObject(dc, previousFont);
}

void PlayBar::drawVolumeBar(HDC dc) {
    RECT r{};
    auto track = images.find(IDC_BAR_VOLUME);
    if (!getControlRect(window, IDC_BAR_VOLUME, &r) || track == images.end()) return;
    if (backgroundBuffer.dc)
        BitBlt(dc, r.left, 0, r.right - r.left, barHeight(), backgroundBuffer.dc, r.left, 0,
               SRCCOPY);
    drawImage(dc, track->second, r.left, r.top);
    if (volumeKnob) {
        const int x =
            r.left + volumeKnobOffset(shownVolume, static_cast<int>(imageWidth(track->second)),
                                      knobWidth(IDC_BAR_VOLUME));
        const int y = (r.top + r.bottom - static_cast<int>(imageHeight(volumeKnob))) / 2;
        drawImage(dc, volumeKnob, x, y);
    }
}

void PlayBar::flushSliders(HDC dc) {
    PaintLockHold hold(paintLock);
    if (!drawBuffer.dc || !window) return;
    HDC target = dc ? dc : GetDC(window);
    if (!target) return;
    for (int id : {IDC_BAR_VOLUME, IDC_BAR_TIME}) {
        RECT r{};
        if (!getControlRect(window, id, &r)) continue;
        const int width = std::min(drawBuffer.width, static_cast<int>(r.right - r.left));
        BitBlt(target, r.left, 0, width, drawBuffer.height, drawBuffer.dc, r.left, 0, SRCCOPY);
    }
    if (!dc) ReleaseDC(window, target);
}

void PlayBar::beginDrag(LPARAM lParam) {
    dragTarget = 0;
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    RECT r{};
    if (getControlRect(window, IDC_BAR_TIME, &r) && PtInRect(&r, p))
        dragTarget = IDC_BAR_TIME;
    else if (getControlRect(window, IDC_BAR_VOLUME, &r) && PtInRect(&r, p))
        dragTarget = IDC_BAR_VOLUME;
    else
        return;
    SetCapture(window);
    if (GetCapture() == window) dragTo(lParam);
}

void PlayBar::dragTo(LPARAM lParam) {
    const int target = dragTarget;
    if (target == 0) return;
    // Signed: left of the bar while captured the pointer has negative coordinates.
    const int x = static_cast<short>(LOWORD(lParam));
    RECT r{};
    if (!getControlRect(window, target, &r)) return;
    const int half = knobWidth(target) / 2;
    const double f = sliderFraction(x, r.left + half, r.right - half);
    PlayLogic* logic = playLogic();
    if (target == IDC_BAR_TIME) {
        // The controller reports the position it went to.
        if (logic) logic->seekTo(static_cast<long long>(f * length));
    } else if (logic) {
        logic->setVolume(static_cast<int>(f * 100 + 0.5));
    }
}
