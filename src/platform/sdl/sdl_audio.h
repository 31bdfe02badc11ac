// The music player's audio output on SDL2: a 44100 Hz stereo float device pulled by SDL's
// audio thread, falling back to the clocked silent output when there is no device (or no sound
// is wanted), and WAV decoding through SDL_LoadWAV.
#pragma once

#include "music/music_player.h"

namespace tarvola {

const AudioOutput& sdlAudioOutput();

}  // namespace tarvola
