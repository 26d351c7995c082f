// Glyph outlines of installed fonts as shape records: each contour becomes a move,
// straight edges and curved edges in a space with an em of 1300 units whose
// baseline lies at y = 1024 (y pointing down), and a text path that writes a font,
// a text and its placement.
#pragma once

#include <cstdint>
#include <string>

#include "platform/font_outlines/font_outline_source.h"
#include "swf/records.h"
#include "swf/shape.h"

class FlashGlyphOutliner {
public:
    // Appends the glyph's records to shape: first a style change selecting fill 1 and
    // line 0, then the underline bar when underline is 1, then one move per contour
    // with its edges. bold = 1 selects weight 700. False when the glyph's outline
    // cannot be had; the records appended before stay.
    bool AddGlyph(const std::string& faceName, uint32_t charCode, FlashShape& shape, int bold, int italic,
                  int underline);
    bool AddPlainGlyph(const std::string& faceName, uint32_t charCode, FlashShape& shape);
    // Advance width of the character in a font of height 26 * size; -1 when it cannot
    // be measured.
    int GetGlyphAdvance(const std::string& faceName, uint32_t charCode, int size);
    // Writes a DefineFont with one glyph per distinct character of text, a DefineText
    // setting the text, and a PlaceObject2 placing it at depth. False when a glyph
    // outline fails (then nothing is written).
    bool WriteText(FlashOutputStream& out, const std::string& faceName, const std::string& text, int x, int y,
                   const FlashRGBA& color, int size, uint16_t depth, int spacing);
};

// Converts polygons and curves of 16.16 units (y up) into shape records, as
// AddGlyph does after its first style change.
void AppendGlyphOutline(const GlyphOutline& outline, FlashShape& shape);
