// STUB: replaced by the real implementation.
#include "ui/SkinImage.h"
SkinImage* loadPngResource(HMODULE, HRSRC) { return nullptr; }
SkinImage* loadPngResourceId(HMODULE, int) { return nullptr; }
void deleteImage(SkinImage*) {}
UINT imageWidth(const SkinImage*) { return 0; }
UINT imageHeight(const SkinImage*) { return 0; }
void drawImage(HDC, SkinImage*, int, int) {}
void drawImageRect(HDC, SkinImage*, int, int, int, int) {}
void drawTiled(HDC, SkinImage*, int, int, int) {}
HBITMAP createOffscreenBitmap(int, int, void**) { return nullptr; }
