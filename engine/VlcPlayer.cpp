// STUB: replaced by the real implementation.
#include "engine/VlcPlayer.h"
MediaPlayer* createVlcPlayer() { return nullptr; }
