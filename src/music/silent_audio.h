// A silent audio output for runs without a sound device: a thread of its own pulls the player's
// stream in 1024-frame buffers on a fixed schedule (buffer n at start + n * 1024 / 44100 s), so
// the music's sync events arrive on time however long each pull takes, and nothing drifts.
#pragma once

#include "music/music_player.h"

namespace tarvola {

// One silent output at a time; decodeWav is not provided (nullptr).
const AudioOutput& silentAudioOutput();

}  // namespace tarvola
