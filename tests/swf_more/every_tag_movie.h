// A movie that holds every tag the SWF library writes beyond the bitmap and
// display-list basics: sound, buttons, fonts and text, morph shapes, sprites.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swftest {

struct EveryTagMovie {
    std::vector<uint8_t> file;       // the whole SWF file
    std::vector<uint16_t> codes;     // the tag codes in file order, End included
};

// mp3Path may be empty: the sound tags then hold no frames. A button without
// actions is left out on request, for readers that expect every DefineButton2 to
// have some.
EveryTagMovie BuildEveryTagMovie(const std::string& mp3Path, bool withActionlessButton = true);

// Runs python3-yaswfp over a file; one line per tag, "<name> <object class>", the
// class being FailingObject when a tag's body was not consumed exactly; nested
// sprite tags indented by two blanks; empty when the parser fails.
std::string YaswfpTags(const std::string& path);

}  // namespace swftest
