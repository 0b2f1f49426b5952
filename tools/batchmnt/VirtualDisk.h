// Attaching ISO images through the Windows virtual disk service.
#pragma once

#include <string>

#include "platform/WString.h"

// Attaches the image read-only and gives its volume the drive letter; false with *error set.
bool attachIsoImage(const WString& image, wchar_t letter, std::string* error);
void detachIsoImage(const WString& image);
