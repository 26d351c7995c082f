#include "swf/movie_reader.h"

#include <iostream>

namespace {

template <typename Tag, typename Handle>
void ReadAndHand(FlashInputStream& body, uint32_t length, Handle handle) {
    Tag tag;
    tag.SetTagLength(length);
    tag.Read(body);
    handle(tag);
}

}  // namespace

FlashHeader FlashReader::ReadHeader(FlashInputStream& in, FlashTagHandler& handler) {
    FlashHeader header;
    header.Read(in);
    handler.HandleHeader(header);
    return header;
}

bool FlashReader::ReadTag(FlashInputStream& in, FlashTagHandler& handler) {
    FlashTagHeader header;
    header.Read(in);
    if (in.Failed()) return false;
    const uint32_t length = header.GetTagLength();
    // A body cut short by the end of the file is read as far as it goes.
    const std::size_t available = std::min<std::size_t>(length, in.Remaining());
    FlashInputStream body = in.Sub(available);
    FlashTagHandler& h = handler;
    const FlashTagHeader& th = header;

    switch (header.GetTagID()) {
        case 32: ReadAndHand<FlashTagDefineShape3>(body, length, [&](auto& t) { h.HandleDefineShape3(t); }); break;
        case 22: ReadAndHand<FlashTagDefineShape2>(body, length, [&](auto& t) { h.HandleDefineShape2(t); }); break;
        case 2: ReadAndHand<FlashTagDefineShape1>(body, length, [&](auto& t) { h.HandleDefineShape(t); }); break;
        case 36: ReadAndHand<FlashTagDefineBitsLossless2>(body, length, [&](auto& t) { h.HandleDefineBitsLossless2(t); }); break;
        case 20: ReadAndHand<FlashTagDefineBitsLossless>(body, length, [&](auto& t) { h.HandleDefineBitsLossless(t); }); break;
        case 35: ReadAndHand<FlashTagDefineBitsJPEG3>(body, length, [&](auto& t) { h.HandleDefineBitsJPEG3(t); }); break;
        case 21: ReadAndHand<FlashTagDefineBitsJPEG2>(body, length, [&](auto& t) { h.HandleDefineBitsJPEG2(t); }); break;
        case 8: ReadAndHand<FlashTagJPEGTables>(body, length, [&](auto& t) { h.HandleJPEGTables(t); }); break;
        case 6: ReadAndHand<FlashTagDefineBitsJPEG1>(body, length, [&](auto& t) { h.HandleDefineBits(t); }); break;
        case 57: ReadAndHand<FlashTagImportAssets>(body, length, [&](auto& t) { h.HandleImportAssets(t); }); break;
        case 56: ReadAndHand<FlashTagExportAssets>(body, length, [&](auto& t) { h.HandleExportAssets(t); }); break;
        case 0: ReadAndHand<FlashTagEnd>(body, length, [&](auto& t) { h.HandleEnd(t); }); break;
        case 24: ReadAndHand<FlashTagProtect>(body, length, [&](auto& t) { h.HandleProtect(t); }); break;
        case 43: ReadAndHand<FlashTagLabelFrame>(body, length, [&](auto& t) { h.HandleFrameLabel(t); }); break;
        case 9: ReadAndHand<FlashTagBackgroundColor>(body, length, [&](auto& t) { h.HandleBackgroundColor(t); }); break;
        case 1: ReadAndHand<FlashTagShowFrame>(body, length, [&](auto& t) { h.HandleShowFrame(t); }); break;
        case 26: ReadAndHand<FlashTagPlaceObject2>(body, length, [&](auto& t) { h.HandlePlaceObject2(t); }); break;
        case 4: ReadAndHand<FlashTagPlaceObject>(body, length, [&](auto& t) { h.HandlePlaceObject(t); }); break;
        case 28: ReadAndHand<FlashTagRemoveObject2>(body, length, [&](auto& t) { h.HandleRemoveObject2(t); }); break;
        case 5: ReadAndHand<FlashTagRemoveObject>(body, length, [&](auto& t) { h.HandleRemoveObject(t); }); break;

        case 12: ReadAndHand<FlashTagDoAction>(body, length, [&](auto& t) { h.HandleDoAction(t, th); }); break;
        case 58: ReadAndHand<FlashTagEnableDebugger>(body, length, [&](auto& t) { h.HandleEnableDebugger(t, th); }); break;
        case 3: ReadAndHand<FlashTagFreeCharacter>(body, length, [&](auto& t) { h.HandleFreeCharacter(t, th); }); break;
        case 13: ReadAndHand<FlashTagDefineFontInfo>(body, length, [&](auto& t) { h.HandleDefineFontInfo(t, th); }); break;
        case 37: ReadAndHand<FlashTagDefineEditText>(body, length, [&](auto& t) { h.HandleDefineEditText(t, th); }); break;
        case 14: {
            // The format byte (after the 16-bit id) tells MP3 data, which has seek samples.
            const bool mp3 = body.Remaining() > 2 && (body.Current()[2] >> 4) == 2;
            if (mp3) ReadAndHand<FlashTagDefineSound>(body, length, [&](auto& t) { h.HandleDefineSound(t, th); });
            else ReadAndHand<FlashTagDefineSoundBase>(body, length, [&](auto& t) { h.HandleDefineSound(t, th); });
            break;
        }
        case 15: ReadAndHand<FlashTagStartSound>(body, length, [&](auto& t) { h.HandleStartSound(t, th); }); break;
        case 18:
        case 45: {
            auto take = [&](FlashTagSoundStreamHead& t) {
                mp3Stream_ = t.GetCompression() == 2;
                h.HandleSoundStreamHead(t, th);
            };
            if (header.GetTagID() == 18) ReadAndHand<FlashTagSoundStreamHead>(body, length, take);
            else ReadAndHand<FlashTagSoundStreamHead2>(body, length, take);
            break;
        }
        case 19:
            if (mp3Stream_) ReadAndHand<FlashTagSoundStreamBlock>(body, length, [&](auto& t) { h.HandleSoundStreamBlock(t, th); });
            else ReadAndHand<FlashTagSoundStreamBlockBase>(body, length, [&](auto& t) { h.HandleSoundStreamBlock(t, th); });
            break;
        case 7: ReadAndHand<FlashTagDefineButton>(body, length, [&](auto& t) { h.HandleDefineButton(t, th); }); break;
        case 34: ReadAndHand<FlashTagDefineButton2>(body, length, [&](auto& t) { h.HandleDefineButton2(t, th); }); break;
        case 1023: ReadAndHand<FlashTagDefineBitsPtr>(body, length, [&](auto& t) { h.HandleDefineBitsPtr(t, th); }); break;
        case 38: ReadAndHand<FlashTagDefineMovie>(body, length, [&](auto& t) { h.HandleDefineMovie(t, th); }); break;
        default:
            body.Skip(body.Remaining());
            handler.HandleUnknownTag(header);
            break;
    }

    if (body.Failed()) {
        // The body's fields need more bytes than it declares: the rest of the stream
        // can no longer be trusted to start at a tag boundary.
        std::cout << "Tag Size Discrepancy: -" << body.Overrun();
        return false;
    }
    const std::size_t unread = length - body.Tell();
    if (unread > 0) std::cout << "Extra Tag Data Encountered: " << unread;
    if (available < length) return false;
    return header.GetTagID() != 0;
}
