// The fallback where FUSE cannot be used (no /dev/fuse, or mounting not allowed, as in many
// containers): the image's files are copied into a folder and made read-only there.
#pragma once

#include <cstdint>
#include <string>

#include <time.h>

#include "tools/isofs/ImageReader.h"

// Bytes the copy of the whole image takes (its files' sizes).
uint64_t imageDataSize(ImageReader& reader);
// Copies every folder and file of the image under folder (which must exist and be empty),
// then takes the write permission away from every entry and, where the file system and the
// process's privileges allow, marks each one immutable, so that not even root can change or
// add anything. *protectedFully tells whether that last step worked for every entry. Every
// entry gets the time stamp given (the image's own).
bool copyImage(ImageReader& reader, const std::string& folder, const struct timespec& stamp,
               bool* protectedFully, std::string* error);
// Removes a copy made by copyImage, folder included, undoing its protection first.
void removeCopy(const std::string& folder);
