// PNG skin images from the executable's resources, drawn through GDI+.
#pragma once

#include <windows.h>

// A GDI+ image (flat API) together with the memory and stream it was loaded from, which GDI+
// may read again while the image lives; all three are released together.
struct SkinImage;

// Loads the resource found with FindResourceW(module, name, L"PNG"); null when missing.
SkinImage* loadPngResource(HMODULE module, HRSRC resource);
// Convenience: FindResourceW + loadPngResource for a numeric resource.
SkinImage* loadPngResourceId(HMODULE module, int id);
// An image made from 32-bit ARGB pixels, rows top to bottom; null on failure. Used for pictures
// the program draws itself rather than loads.
SkinImage* createSkinImage(int width, int height, const unsigned int* argb);
void deleteImage(SkinImage* image);
UINT imageWidth(const SkinImage* image);
UINT imageHeight(const SkinImage* image);
void drawImage(HDC dc, SkinImage* image, int x, int y);
void drawImageRect(HDC dc, SkinImage* image, int x, int y, int width, int height);
void drawTiled(HDC dc, SkinImage* image, int x, int y, int width);
// 32-bit bottom-up DIB section, cleared to 0; null on failure.
HBITMAP createOffscreenBitmap(int width, int height, void** bits);
