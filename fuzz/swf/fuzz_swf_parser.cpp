// Reads arbitrary bytes as a movie through the tag reader and the text dump.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>

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
    return 0;
}
