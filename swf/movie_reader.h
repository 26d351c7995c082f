// Reading a movie back tag by tag: FlashReader reads the file header and then one
// tag per call, builds the tag object for the codes it knows, lets it read its body
// and hands it to the caller's FlashTagHandler. A tag's body is read from a view of
// exactly its declared length, so no tag can read into the next one.
#pragma once

#include <cstdint>

#include "swf/actions.h"
#include "swf/bitmap_tags.h"
#include "swf/buttons.h"
#include "swf/control_tags.h"
#include "swf/font_text.h"
#include "swf/shape.h"
#include "swf/sound.h"
#include "swf/sprites.h"
#include "swf/tag.h"

// Implemented by the caller. Each operation receives the object just read, valid
// only during the call.
class FlashTagHandler {
public:
    virtual ~FlashTagHandler() = default;
    virtual void HandleDefineShape3(FlashTagDefineShape3& tag) = 0;
    virtual void HandleDefineShape2(FlashTagDefineShape2& tag) = 0;
    virtual void HandleDefineShape(FlashTagDefineShape1& tag) = 0;
    virtual void HandleDefineBitsLossless2(FlashTagDefineBitsLossless2& tag) = 0;
    virtual void HandleDefineBitsLossless(FlashTagDefineBitsLossless& tag) = 0;
    virtual void HandleDefineBitsJPEG3(FlashTagDefineBitsJPEG3& tag) = 0;
    virtual void HandleDefineBitsJPEG2(FlashTagDefineBitsJPEG2& tag) = 0;
    virtual void HandleJPEGTables(FlashTagJPEGTables& tag) = 0;
    virtual void HandleDefineBits(FlashTagDefineBitsJPEG1& tag) = 0;
    virtual void HandleImportAssets(FlashTagImportAssets& tag) = 0;
    virtual void HandleExportAssets(FlashTagExportAssets& tag) = 0;
    virtual void HandleEnd(FlashTagEnd& tag) = 0;
    virtual void HandleProtect(FlashTagProtect& tag) = 0;
    virtual void HandleFrameLabel(FlashTagLabelFrame& tag) = 0;
    virtual void HandleBackgroundColor(FlashTagBackgroundColor& tag) = 0;
    virtual void HandleShowFrame(FlashTagShowFrame& tag) = 0;
    virtual void HandlePlaceObject2(FlashTagPlaceObject2& tag) = 0;
    virtual void HandlePlaceObject(FlashTagPlaceObject& tag) = 0;
    virtual void HandleRemoveObject2(FlashTagRemoveObject2& tag) = 0;
    virtual void HandleRemoveObject(FlashTagRemoveObject& tag) = 0;
    // Any tag without an operation of its own: its record header only.
    virtual void HandleUnknownTag(const FlashTagHeader& header) = 0;
    virtual void HandleHeader(const FlashHeader& header) = 0;

    // The other tags the library reads. A handler that does not take them gets them
    // as unknown tags.
    virtual void HandleDoAction(FlashTagDoAction&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleEnableDebugger(FlashTagEnableDebugger&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleFreeCharacter(FlashTagFreeCharacter&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleDefineFontInfo(FlashTagDefineFontInfo&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleDefineEditText(FlashTagDefineEditText&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    // The MP3 form (FlashTagDefineSound) when the format says MP3, else the plain form.
    virtual void HandleDefineSound(FlashTagDefineSoundBase&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleStartSound(FlashTagStartSound&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    // SoundStreamHead (18) or SoundStreamHead2 (45), told apart by the header's code.
    virtual void HandleSoundStreamHead(FlashTagSoundStreamHead&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    // The MP3 form (FlashTagSoundStreamBlock) after a stream head announcing MP3.
    virtual void HandleSoundStreamBlock(FlashTagSoundStreamBlockBase&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleDefineButton(FlashTagDefineButton&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleDefineButton2(FlashTagDefineButton2&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleDefineBitsPtr(FlashTagDefineBitsPtr&, const FlashTagHeader& h) { HandleUnknownTag(h); }
    virtual void HandleDefineMovie(FlashTagDefineMovie&, const FlashTagHeader& h) { HandleUnknownTag(h); }
};

class FlashReader {
public:
    // Reads the file header, passes it to the handler and returns it.
    FlashHeader ReadHeader(FlashInputStream& in, FlashTagHandler& handler);
    // Reads one tag; true when a tag other than End was read, false for End, at the end
    // of the data, or when a body needed more than its declared length.
    bool ReadTag(FlashInputStream& in, FlashTagHandler& handler);

private:
    bool mp3Stream_ = false;  // the last stream head announced MP3 blocks
};
