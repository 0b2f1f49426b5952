// PNG skin images from the executable's resources, drawn through GDI+.
#include "ui/SkinImage.h"

#include <objidl.h>
#include <ole2.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include <gdiplus.h>

namespace gp = Gdiplus::DllExports;

struct SkinImage {
    Gdiplus::GpImage* image = nullptr;
    // GDI+ may decode lazily from the stream, so the stream and its memory live as long as the
    // image does.
    IStream* stream = nullptr;
    HGLOBAL memory = nullptr;
    // For tiling: a row of whole copies of the image, made on first use and grown on demand, so
    // that a tiled row is drawn in one call instead of one call per tile. Its users serialise
    // the tiling of one image (the control bar does all of it under its paint lock).
    SkinImage* strip = nullptr;
    int stripWidth = 0;
};

namespace {

void deleteSkin(SkinImage* skin);

void releaseParts(SkinImage& skin) {
    deleteSkin(skin.strip);
    skin.strip = nullptr;
    skin.stripWidth = 0;
    if (skin.image) gp::GdipDisposeImage(skin.image);
    skin.image = nullptr;
    if (skin.stream) skin.stream->Release();
    skin.stream = nullptr;
    if (skin.memory) GlobalFree(skin.memory);
    skin.memory = nullptr;
}

void deleteSkin(SkinImage* skin) {
    if (!skin) return;
    releaseParts(*skin);
    delete skin;
}

// A row at least `width` wide of whole copies of the image, pixel for pixel; null when the image
// is not a bitmap or memory is short.
SkinImage* tiledStrip(SkinImage* image, int width) {
    if (image->strip && image->stripWidth >= width) return image->strip;
    Gdiplus::ImageType type = Gdiplus::ImageTypeUnknown;
    if (gp::GdipGetImageType(image->image, &type) != Gdiplus::Ok ||
        type != Gdiplus::ImageTypeBitmap)
        return nullptr;
    auto* bitmap = static_cast<Gdiplus::GpBitmap*>(image->image);
    const int tile = static_cast<int>(imageWidth(image));
    const int height = static_cast<int>(imageHeight(image));
    // Room for the widest row likely to be asked for, so that a growing row (the played part
    // of the seek bar) does not rebuild the strip at every step.
    int tiles = (std::max(width, 2048) + tile - 1) / tile;
    const int stripWidth = tiles * tile;
    std::vector<unsigned int> pixels(static_cast<size_t>(stripWidth) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < tile; ++x) {
            Gdiplus::ARGB argb = 0;
            gp::GdipBitmapGetPixel(bitmap, x, y, &argb);
            for (int t = 0; t < tiles; ++t)
                pixels[static_cast<size_t>(y) * stripWidth + t * tile + x] = argb;
        }
    }
    SkinImage* strip = createSkinImage(stripWidth, height, pixels.data());
    if (!strip) return nullptr;
    deleteSkin(image->strip);
    image->strip = strip;
    image->stripWidth = stripWidth;
    return strip;
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

SkinImage* createSkinImage(int width, int height, const unsigned int* argb) {
    if (width <= 0 || height <= 0 || !argb) return nullptr;
    // GDI+ allocates the pixels itself, so the image does not depend on the caller's buffer.
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) !=
            Gdiplus::Ok ||
        !bitmap)
        return nullptr;
    Gdiplus::GpRect all(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (gp::GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB,
                               &data) == Gdiplus::Ok) {
        for (int y = 0; y < height; ++y)
            std::memcpy(static_cast<unsigned char*>(data.Scan0) +
                            static_cast<ptrdiff_t>(y) * data.Stride,
                        argb + static_cast<size_t>(y) * width, static_cast<size_t>(width) * 4);
        gp::GdipBitmapUnlockBits(bitmap, &data);
    } else {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                gp::GdipBitmapSetPixel(bitmap, x, y, argb[static_cast<size_t>(y) * width + x]);
    }
    auto* skin = new SkinImage();
    skin->image = bitmap;
    return skin;
}

void deleteImage(SkinImage* image) {
    deleteSkin(image);
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
    const int tile = static_cast<int>(imageWidth(image));
    if (!dc || !image || tile == 0 || width <= 0) return;
    const int height = static_cast<int>(imageHeight(image));
    // Whole tiles first, then the whole image squeezed into what is left (not a cut-off copy).
    const int whole = width / tile * tile;
    const int rest = width - whole;
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gp::GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok || !graphics) return;
    if (whole > 0) {
        if (SkinImage* strip = tiledStrip(image, whole)) {
            gp::GdipDrawImageRectRectI(graphics, strip->image, x, y, whole, height, 0, 0, whole,
                                       height, Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
        } else {
            for (int offset = 0; offset < whole; offset += tile)
                gp::GdipDrawImageRectI(graphics, image->image, x + offset, y, tile, height);
        }
    }
    if (rest > 0) gp::GdipDrawImageRectI(graphics, image->image, x + whole, y, rest, height);
    gp::GdipDeleteGraphics(graphics);
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
