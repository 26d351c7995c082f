// Reads arbitrary bytes as a movie through the tag reader and the text dump, and as
// an MP3 file through the frame splitter.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>

#include "swf/mp3_frames.h"
#include "swf/text_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = [] {
        std::cout.rdbuf(nullptr);  // the reader's messages go nowhere
        return true;
    }();
    (void)quiet;
    std::ostringstream text;
    DumpMovie(data, size, text);
    const Mp3FrameList frames = SplitMp3Frames(std::span(data, size));
    for (const Mp3FrameRef& f : frames.frames)
        if (f.offset + f.size > size) __builtin_trap();
    return 0;
}
