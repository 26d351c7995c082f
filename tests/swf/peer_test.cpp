// A movie holding every tag the object model writes, checked by yaswfp and by our own
// readers: each tag's body must be consumed exactly.
#include <gtest/gtest.h>

#include "swf/actions.h"
#include "swf/bitmap_tags.h"
#include "swf/control_tags.h"
#include "swf/shape.h"
#include "tests/swf/jpeg_fixture.h"
#include "tests/swf/movie_parse.h"
#include "tests/swf/peer_util.h"

namespace {

// New styles inside the records are for DefineShape2 and 3; yaswfp reads them in
// DefineShape3 only, so the shape given to the older tags goes without.
FlashShapeWithStyle RichShape(FlashFillStyleArray& fills, FlashLineStyleArray& lines, FlashFillStyleArray* more)
{
    FlashShapeWithStyle s;
    s.GetFillStyles() = fills;
    s.GetLineStyles() = lines;
    FlashShapeRecordChange start(-400, 300);
    start.SetFillStyle0(1);
    start.SetFillStyle1(2);
    start.SetLineStyle(1);
    s.AddRecord(start);
    s.AddRecord(FlashShapeRecordStraight(38400, 0));
    s.AddRecord(FlashShapeRecordCurved(100, 100, -50, 200));
    s.AddRecord(FlashShapeRecordStraight(0, -7));
    s.AddRecord(FlashShapeRecordStraight(-100000, 0));
    if (more) {
        FlashShapeRecordChange renew;
        renew.SetNewStyles(*more, lines);
        s.AddRecord(renew);
    }
    FlashShapeRecordChange pick;
    pick.SetFillStyle0(1);
    s.AddRecord(pick);
    s.AddRecord(FlashShapeRecordStraight(5, 5));
    return s;
}

}  // namespace

TEST(SwfPeers, YaswfpReadsAMovieOfEveryTag)
{
    if (!HaveYaswfp()) GTEST_SKIP() << "yaswfp is not installed";
    nextCharacterId = 1;
    std::vector<uint8_t> jpeg = EncodeJpeg(16, 8, 3);
    std::vector<uint8_t> alphaPlane(16 * 8, 0x80), alpha;
    ASSERT_TRUE(CompressBytes(alphaPlane.data(), alphaPlane.size(), alpha));
    std::vector<FlashRGBA> table = {FlashRGBA(255, 0, 0, 255), FlashRGBA(0, 255, 0, 128)};
    std::vector<uint8_t> indexed = {0, 1, 1, 0, 1, 0, 0, 1};
    std::vector<uint8_t> argb(4 * 2 * 4, 0x7F);

    FlashMatrix m;
    m.SetScale(FlashFixed(20.0), FlashFixed(-1.5));
    m.SetRotate(FlashFixed(0.25), FlashFixed(-0.25));
    m.SetTranslate(38400, -200);
    FlashGradient g;
    g.AddRecord(0, FlashRGBA(255, 255, 255, 255));
    g.AddRecord(128, FlashRGBA(0, 0, 0, 0));
    FlashFillStyleSolid solid(FlashRGBA(10, 20, 30, 40));
    FlashFillStyleGradient gradient(m, g);
    FlashFillStyleBitmap bitmap(2, m, false);
    FlashFillStyleBitmap tiled(2, FlashMatrix(), true);
    FlashLineStyle line(20, FlashRGBA(1, 2, 3, 4));
    FlashFillStyleArray fills, more;
    fills.Add(&solid);
    fills.Add(&gradient);
    fills.Add(&bitmap);
    more.Add(&tiled);
    FlashLineStyleArray lines;
    lines.Add(&line);
    FlashShapeWithStyle plain = RichShape(fills, lines, nullptr);
    FlashShapeWithStyle rich = RichShape(fills, lines, &more);

    FlashActionGotoFrame gotoFrame(3);
    FlashActionGetURL getUrl("http://example.org/", "_blank");
    FlashActionWaitForFrame2 wait2(5);
    FlashActionWaitForFrame wait(2, 1);
    FlashActionConstantPool pool({"a", "bc"});
    FlashActionSetTarget target("/clip");
    FlashActionGotoLabel label("start");
    const uint8_t pushed[] = {'x', 0};
    FlashActionPush push(0, pushed, 2);
    FlashActionStoreRegister store(1);
    FlashActionGetURL2 url2(0);
    FlashActionGotoFrame2 goto2(1);
    FlashActionJump jump(0);
    FlashActionIf branch(0);
    FlashActionDefineFunction function({"f", "p"});
    FlashActionReturn ret;
    function.AddAction(&ret);
    FlashActionPlay play;
    FlashActionStop stop;
    FlashActionAdd2 add2;
    FlashActionInitObject initObject;
    FlashActionBitURShift shift;
    FlashTagDoAction doAction;
    for (FlashAction* a : std::initializer_list<FlashAction*>{&gotoFrame, &getUrl, &wait2, &wait, &pool, &target,
                                                                &label, &push, &store, &url2, &goto2, &jump, &branch,
                                                                &function, &play, &stop, &add2, &initObject, &shift})
        doAction.AddAction(a);

    FlashTagDefineBitsJPEG2 jpeg2(jpeg.data(), uint32_t(jpeg.size()));
    FlashTagDefineBitsJPEG3 jpeg3(jpeg.data(), uint32_t(jpeg.size()), alpha.data(), uint32_t(alpha.size()));
    const uint8_t noTables[] = {0xFF, 0xD8, 0xFF, 0xD9};
    FlashTagJPEGTables tables(noTables, sizeof noTables);
    FlashTagDefineBitsJPEG1 jpeg1(jpeg.data(), uint32_t(jpeg.size()));
    FlashTagDefineBitsLossless lossless(3, 4, 2, FlashLosslessBitmapData(table, indexed.data(), 8));
    FlashTagDefineBitsLossless2 lossless2(5, 4, 2, FlashLosslessBitmapData({}, argb.data(), uint32_t(argb.size())));
    FlashTagDefineShape1 shape1(plain);
    FlashTagDefineShape2 shape2(plain);
    FlashTagDefineShape3 shape3(rich);
    FlashTagExportAssets exports;
    exports.AddAsset("shape", shape3.GetId());
    FlashTagImportAssets imports("lib.swf");
    imports.AddAsset("button", 40);
    FlashTagDefineFontInfo fontInfo(50, "Liberation Sans", 0x01, {65, 66});
    FlashTagPlaceObject place(shape1.GetId(), 1, m, FlashColorTransform(true, FlashRGBA(1, -2, 3, 0), true,
                                                                         FlashRGBA(256, 128, 0, 0)));
    FlashTagPlaceObject2 place2(2, shape2.GetId(), m,
                                FlashColorTransform(true, FlashRGBA(0, 0, 0, -255), false, FlashRGBA()));
    place2.SetRatio(3);
    place2.SetName("two");
    place2.SetClipDepth(9);
    FlashTagPlaceObject2 move(2, shape2.GetId());
    move.SetMove(true);

    FlashTagBackgroundColor background(255, 255, 255);
    FlashTagProtect protect;
    FlashTagProtect protectPw("secret");
    FlashTagEnableDebugger debugger("dbg");
    FlashTagLabelFrame frameLabel("intro");
    FlashTagShowFrame show;
    FlashTagRemoveObject remove(shape1.GetId(), 1);
    FlashTagRemoveObject2 remove2(2);
    FlashTagFreeCharacter freeChar(shape1.GetId());
    FlashTagEnd end;
    FlashTag* tags[] = {&background, &protect, &protectPw, &debugger, &frameLabel, &tables, &jpeg1, &jpeg2, &jpeg3,
                        &lossless, &lossless2, &shape1, &shape2, &shape3, &exports, &imports, &fontInfo, &place,
                        &place2, &move, &doAction, &show, &remove, &remove2, &freeChar, &show, &end};
    FlashOutputStream body;
    for (FlashTag* t : tags) t->Write(body);
    FlashOutputStream file;
    file << FlashHeader(5, uint32_t(body.Size()), 38400, 21600, 24.0, 2);
    file.WriteBytes(body);

    TempFolder folder;
    std::string path = folder.File("all.swf");
    WriteFileBytes(path, file.Bytes());
    ParsedMovie ours = ParseMovie(file.Bytes());
    ASSERT_TRUE(ours.ok);
    ASSERT_EQ(ours.tags.size(), std::size(tags));

    YaswfpListing theirs = ListWithYaswfp(path);
    ASSERT_TRUE(theirs.ok) << theirs.raw;
    EXPECT_EQ(theirs.fileLength, long(file.Size()));
    EXPECT_EQ(theirs.frameCount, 2);
    EXPECT_EQ(theirs.trailing, 0);
    ASSERT_EQ(theirs.tags.size() + 1, ours.tags.size()) << theirs.raw;
    for (size_t i = 0; i < theirs.tags.size(); ++i) {
        const auto& t = theirs.tags[i];
        EXPECT_EQ(t.name, YaswfpName(ours.tags[i].code)) << i;
        // Tags yaswfp parses field by field are read to exactly their length; it keeps the
        // others whole, by the length we declared.
        EXPECT_NE(t.kind, "FailingObject") << t.name << "\n" << theirs.raw;
        if (t.kind == "UnknownObject") {
            EXPECT_EQ(t.payload, ours.tags[i].body.size()) << t.name;
        }
    }
    nextCharacterId = 0;
}
