#include "tests/swf_more/every_tag_movie.h"

#include "swf/actions.h"
#include "swf/buttons.h"
#include "swf/control_tags.h"
#include "swf/font_text.h"
#include "swf/glyph_outliner.h"
#include "swf/morph_shape.h"
#include "swf/shape.h"
#include "swf/sound.h"
#include "swf/sprites.h"
#include "tests/swf_more/support.h"

namespace swftest {

namespace {

FlashShape Square(int side) {
    FlashShape s;
    FlashShapeRecordChange move(0, 0);
    move.SetFillStyle0(1);
    s.AddRecord(move);
    s.AddRecord(FlashShapeRecordStraight(side, 0));
    s.AddRecord(FlashShapeRecordStraight(0, side));
    s.AddRecord(FlashShapeRecordStraight(-side, 0));
    s.AddRecord(FlashShapeRecordStraight(0, -side));
    return s;
}

void Note(std::vector<uint16_t>& codes, const FlashOutputStream& tags, std::size_t& seen) {
    // Walks the record headers appended since the last call.
    FlashInputStream in(tags.Data() + seen, tags.Size() - seen);
    while (!in.AtEnd()) {
        FlashTagHeader h;
        h.Read(in);
        codes.push_back(h.GetTagID());
        in.Skip(h.GetTagLength());
    }
    seen = tags.Size();
}

}  // namespace

EveryTagMovie BuildEveryTagMovie(const std::string& mp3Path, bool withActionlessButton) {
    EveryTagMovie movie;
    FlashOutputStream tags;
    std::size_t seen = 0;
    auto note = [&] { Note(movie.codes, tags, seen); };

    FlashShapeWithStyle styled;
    FlashFillStyleSolid red(FlashRGBA(255, 0, 0, 255));
    styled.GetFillStyles().Add(&red);
    const FlashShape square = Square(400);
    for (std::size_t i = 0; i < square.GetOrder().size(); ++i) {
        const auto [kind, index] = square.GetOrder()[i];
        if (kind == FlashShape::kChange) styled.AddRecord(square.GetChanges()[index]);
        else styled.AddRecord(square.GetStraights()[index]);
    }
    FlashTagDefineShape3 shape(styled);
    shape.Write(tags);

    // Buttons of both kinds.
    FlashButtonRecord up(shape.GetId(), 1, FlashButtonRecord::kUp | FlashButtonRecord::kHitTest, FlashMatrix(),
                         FlashColorTransform(true, FlashRGBA(1, 2, 3, 4), false, FlashRGBA()));
    FlashActionGotoFrame gotoFrame(1);
    FlashActionPlay play;
    FlashActionStop stop;
    FlashActionGetURL url("http://example.org/", "_blank");
    FlashTagDefineButton2 button2;
    button2.AddRecord(&up);
    button2.AddCondAction({&gotoFrame, &play}, 4);
    button2.AddCondAction({&url}, 8);
    button2.Write(tags);
    FlashTagDefineButton2 quiet;
    quiet.AddRecord(&up);
    if (withActionlessButton) quiet.Write(tags);
    FlashTagDefineButton button;
    button.AddRecord(&up);
    button.AddAction(&stop);
    button.Write(tags);

    // Sounds: an event sound with its start, and a streamed track.
    FlashMp3Sound clip(mp3Path, 12);
    const uint16_t soundId = clip.WriteDefineSound(tags);
    FlashSoundInfo info(0x10);
    info.SetLoopCount(2);
    FlashTagStartSound(soundId, info).Write(tags);
    FlashMp3Sound track(mp3Path, 12);
    track.WriteStreamHead(tags);

    // Fonts and text.
    FlashGlyphOutliner outliner;
    outliner.WriteText(tags, "Arial", "Reel", 40, 300, FlashRGBA(0, 0, 128, 255), 12, 5, 1);
    FlashTagDefineFont2 font2("Sans", 0x01);
    font2.AddGlyph(Square(1000), 'a');
    font2.AddGlyph(Square(500), 0x20AC);
    FlashFontLayout layout;
    layout.ascent = 900;
    layout.descent = 200;
    layout.advances = {1024, 512};
    layout.bounds = {Square(1000).GetBounds(), Square(500).GetBounds()};
    layout.kerning.emplace_back('a', 0x20AC, -10);
    font2.SetLayout(layout);
    font2.Write(tags);
    FlashTagDefineFontInfo(font2.GetId(), "Sans", 0x01, {'a', 0x20AC}).Write(tags);
    FlashTextRecordStyle style(true, true, true, true, font2.GetId(), 240, FlashRGBA(0, 128, 0, 200), 20, 200);
    FlashTextRecordGlyphs glyphs;
    glyphs.AddEntry(0, 300);
    glyphs.AddEntry(1, 250);
    FlashTagDefineText text2(FlashRect(0, 0, 1000, 400), FlashMatrix());
    text2.AddRecord(&style);
    text2.AddRecord(&glyphs);
    text2.WriteText2(tags);
    FlashTagDefineEditText edit(FlashRect(0, 0, 2000, 400), FlashTagDefineEditText::kBorder, "field");
    edit.SetFont(font2.GetId(), 240);
    edit.SetColor(FlashRGBA(0, 0, 0, 255));
    edit.SetMaxLength(40);
    edit.SetLayout(1, 20, 20, 0, 40);
    edit.SetInitialText("type here");
    edit.Write(tags);

    // A morph shape and a sprite.
    FlashTagDefineMorphShape morph(Square(200), Square(400));
    FlashMorphFillStyleSolid morphFill(FlashRGBA(255, 0, 0, 255), FlashRGBA(0, 0, 255, 255));
    morph.GetFillStyles().Add(&morphFill);
    morph.GetLineStyles().Add({20, 60, FlashRGBA(0, 0, 0, 255), FlashRGBA(255, 255, 255, 255)});
    morph.Write(tags);
    FlashTagPlaceObject2 inner(1, shape.GetId());
    FlashTagShowFrame show;
    FlashTagRemoveObject2 removeInner(1);
    FlashTagDefineSprite sprite;
    sprite.AddTag(&inner);
    sprite.AddTag(&show);
    sprite.AddTag(&removeInner);
    sprite.AddTag(&show);
    sprite.Write(tags);
    FlashTagDefineMovie("other.swf").Write(tags);
    FlashTagDefineBitsPtr(0x1234).Write(tags);
    note();

    // Frames: the button and sprite placed, the track streamed one block a frame.
    FlashTagPlaceObject2(1, button2.GetId()).Write(tags);
    FlashTagPlaceObject2(2, sprite.GetId()).Write(tags);
    note();
    uint16_t frames = 0;
    do {
        track.WriteNextBlock(tags);
        FlashTagShowFrame().Write(tags);
        ++frames;
    } while (!track.IsFinished());
    FlashTagEnd().Write(tags);
    note();

    FlashOutputStream file;
    FlashHeader(5, uint32_t(tags.Size()), 4000, 2000, 12.0, frames).Write(file);
    file.WriteBytes(tags);
    movie.file = file.Bytes();
    return movie;
}

std::string YaswfpTags(const std::string& path) {
    const std::string script =
        "import sys\n"
        "from yaswfp import swfparser\n"
        // Its language table lacks code 0, which fonts without a language carry.
        "swfparser.LANGCODES.setdefault(0, 'None')\n"
        "def show(tags, indent):\n"
        "    for t in tags:\n"
        "        print(indent + t.name + ' ' + type(t).__name__)\n"
        "        if t.name == 'DefineSprite': show(t.ControlTags, indent + '  ')\n"
        "show(swfparser.parsefile(sys.argv[1]).tags, '')\n";
    std::string out;
    const int rc = RunCommand("/usr/bin/python3 - '" + path + "' 2>&1 <<'PYEOF'\n" + script + "PYEOF\n", &out);
    return rc == 0 ? out : std::string();
}

}  // namespace swftest
