// The library's single movie under construction, from createMovie to writeMovie.
// All of it is global and unguarded: the library is not thread-safe, and one thread
// builds one movie at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "swf/sound.h"
#include "swf/stream.h"

// The movie's tags in order of writing, without the file header.
extern FlashOutputStream movieTagStream;
// Frame rate given to createMovie (frames per second); the sound exports use it.
extern int movieFrameRate;
// ShowFrame tags written so far.
extern int movieFrameCount;
// Frame the optional start action of writeMovie jumps to; 1 after createMovie.
extern int movieStartFrame;
// Set by playSoundTrack: every showFrame first writes the sound track's next block.
extern uint8_t soundTrackOn;
// The streamed sound track, or none.
extern std::unique_ptr<FlashMp3Sound> soundTrack;

// One byte per depth or character id, 1 = a character is placed at that depth. The table
// covers the whole 16-bit range, and any index is taken as its low 16 bits, so no index
// falls outside it. It is made (all 0) by createMovie and released by writeMovie; a call
// outside that bracket gets a fresh table.
uint8_t& DepthUsed(int32_t index);
void AllocateDepthTable();
void ReleaseDepthTable();
