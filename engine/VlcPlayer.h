// STUB: replaced by the real implementation.
#pragma once
#include "engine/MediaPlayer.h"
MediaPlayer* createVlcPlayer();
