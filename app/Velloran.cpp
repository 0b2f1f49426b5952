// STUB: replaced by the real implementation.
#include "app/Velloran.h"
#include "app/MainFrame.h"
const char kVideoExtensions[] = "";
const char kAudioExtensions[] = "";
Velloran::~Velloran() { delete[] openFilter; }
const WString& Velloran::getMediaExtensions() { return mediaExtensions; }
const wchar_t* Velloran::buildOpenFilter() { return L""; }
Velloran* theApp() { return gMainFrame.app; }
