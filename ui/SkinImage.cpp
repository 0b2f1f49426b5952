// PNG skin images from the executable's resources, drawn through GDI+.
#include "ui/SkinImage.h"

#include <objidl.h>
#include <ole2.h>

#include <cstring>

#include <gdiplus.h>

namespace gp = Gdiplus::DllExports;

struct SkinImage {
    Gdiplus::GpImage* image = nullptr;
    // GDI+ may decode lazily from the stream, so the stream and its memory live as long as the
    // image does.
    IStream* stream = nullptr;
    HGLOBAL memory = nullptr;
};

namespace {

void releaseParts(SkinImage& skin) {
    if (skin.image) gp::GdipDisposeImage(skin.image);
    skin.image = nullptr;
    if (skin.stream) skin.stream->Release();
    skin.stream = nullptr;
    if (skin.memory) GlobalFree(skin.memory);
    skin.memory = nullptr;
}

} // namespace

SkinImage* loadPngResource(HMODULE module, HRSRC resource) {
    if (!resource) return nullptr;
    DWORD size = SizeofResource(module, resource);
    if (size == 0) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return nullptr;
    const void* data = LockResource(loaded);
    if (!data) return nullptr;

    auto* skin = new SkinImage();
    skin->memory = GlobalAlloc(GMEM_MOVEABLE, size + 4);
    if (!skin->memory) {
        delete skin;
        return nullptr;
    }
    void* block = GlobalLock(skin->memory);
    if (!block) {
        releaseParts(*skin);
        delete skin;
        return nullptr;
    }
    std::memcpy(block, data, size);
    GlobalUnlock(skin->memory);

    if (SUCCEEDED(CreateStreamOnHGlobal(skin->memory, FALSE, &skin->stream)) && skin->stream) {
        if (gp::GdipLoadImageFromStream(skin->stream, &skin->image) != Gdiplus::Ok)
            skin->image = nullptr;
    }
    if (!skin->image) {
        OutputDebugStringW(L"loadPngResource: the image could not be decoded\n");
        releaseParts(*skin);
        delete skin;
        return nullptr;
    }
    return skin;
}

SkinImage* loadPngResourceId(HMODULE module, int id) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    return resource ? loadPngResource(module, resource) : nullptr;
}

void deleteImage(SkinImage* image) {
    if (!image) return;
    releaseParts(*image);
    delete image;
}

UINT imageWidth(const SkinImage* image) {
    UINT width = 0;
    if (image && image->image && gp::GdipGetImageWidth(image->image, &width) != Gdiplus::Ok)
        width = 0;
    return width;
}

UINT imageHeight(const SkinImage* image) {
    UINT height = 0;
    if (image && image->image && gp::GdipGetImageHeight(image->image, &height) != Gdiplus::Ok)
        height = 0;
    return height;
}

void drawImageRect(HDC dc, SkinImage* image, int x, int y, int width, int height) {
    if (!dc || !image || !image->image) return;
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gp::GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok || !graphics) return;
    gp::GdipDrawImageRectI(graphics, image->image, x, y, width, height);
    gp::GdipDeleteGraphics(graphics);
}

void drawImage(HDC dc, SkinImage* image, int x, int y) {
    drawImageRect(dc, image, x, y, static_cast<int>(imageWidth(image)),
                  static_cast<int>(imageHeight(image)));
}

void drawTiled(HDC dc, SkinImage* image, int x, int y, int width) {
    int tile = static_cast<int>(imageWidth(image));
    if (!image || tile == 0) return;
    int height = static_cast<int>(imageHeight(image));
    int count = width / tile + 1;
    int offset = 0;
    // The last step squeezes the whole image into what is left rather than cutting it off.
    for (int i = 0; i < count; ++i) {
        int step = tile;
        if (offset + tile > width) step = width - offset;
        if (step > 0) {
            drawImageRect(dc, image, x + offset, y, step, height);
            offset += step;
        }
    }
}

HBITMAP createOffscreenBitmap(int width, int height, void** bits) {
    BITMAPINFO info{};
    BITMAPINFOHEADER& header = info.bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height; // positive: bottom-up rows
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>((((width * 32 + 31) / 8) & ~3) * height);
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap || !pixels) {
        if (bitmap) DeleteObject(bitmap);
        if (bits) *bits = nullptr;
        return nullptr;
    }
    std::memset(pixels, 0, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    if (bits) *bits = pixels;
    return bitmap;
}
