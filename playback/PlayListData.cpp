// STUB: replaced by the real implementation.
#include "playback/PlayListData.h"
int PlayListData::buildFromPath(const WString&) { entries.clear(); return 0; }
bool PlayListData::isMediaFile(const WString&) { return true; }
int PlayListData::addFile(const WString&, int) { return -1; }
void PlayListData::sort() {}
int PlayListData::currentIndex() const { for (size_t i = 0; i < entries.size(); ++i) if (entries[i].current) return (int)i; return -1; }
void PlayListData::setCurrent(int) {}
WString PlayListData::entryPath(int) const { return WString(); }
bool PlayListData::remove(int) { return false; }
void PlayListData::clear() { entries.clear(); }
