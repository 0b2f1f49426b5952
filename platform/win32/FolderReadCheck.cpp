#include "platform/Files.h"

FolderReadCheck::FolderReadCheck(const WString& folder) : folder(folder) {}

FolderReadCheck::~FolderReadCheck() = default;

bool FolderReadCheck::canRead(const WString& name) const {
    return canOpenForReading(folder + name);
}
