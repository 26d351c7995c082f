#include <gtest/gtest.h>

#include "swf/actions.h"
#include "swf/bitmap_tags.h"
#include "swf/control_tags.h"
#include "swf/movie.h"
#include "swf/movie_state.h"
#include "swf/shape.h"
#include "tests/swf/jpeg_fixture.h"
#include "tests/swf/movie_parse.h"
#include "tests/swf/swf_test_util.h"

#include <zlib.h>

using namespace reeltide;

namespace {

std::vector<int> EditorShapeCommands(int bitmapId, int w, int h)
{
    return {0, 0, w, h, 3, 1, 7, bitmapId, 0, 0, 0, 0, 1, 0, w, 1, h, 0, 1, 0, -w, 1, -h, 0};
}

template <typename Tag>
void ReadBody(const ParsedTag& t, Tag& tag)
{
    FlashInputStream in(t.body);
    tag.SetTagLength(uint32_t(t.body.size()));
    tag.Read(in);
    EXPECT_FALSE(in.Failed());
    EXPECT_TRUE(in.AtEnd());
}

class MovieTest : public ::testing::Test {
protected:
    // Ends any movie a test left open so that every test starts fresh.
    void SetUp() override { WriteMovie(nullptr, 0, 0, 10, 0); }
    void TearDown() override { WriteMovie(nullptr, 0, 0, 10, 0); }

    ParsedMovie Write(int w, int h, int rate, int playFlag)
    {
        std::string path = folder.File("movie.swf");
        EXPECT_EQ(WriteMovie(path.c_str(), w, h, rate, playFlag), 1);
        ParsedMovie m = ParseMovie(ReadFileBytes(path));
        EXPECT_TRUE(m.ok);
        return m;
    }

    TempFolder folder;
};

}  // namespace

TEST_F(MovieTest, EditorsRoad)
{
    struct Case { int w, h, rectBits; } cases[] = {{100, 50, 12}, {1920, 1080, 17}};
    for (const auto& c : cases) {
        const int n = 3;
        std::vector<std::vector<uint8_t>> jpegs;
        // Reading tags back takes ids as well; writing resets the counter.
        WriteMovie(nullptr, 0, 0, 10, 0);
        CreateMovie(10);
        for (int k = 0; k < n; ++k) {
            jpegs.push_back(EncodeJpeg(8, 8, k));
            std::string name = folder.File("ZQF" + std::to_string(k) + ".jpg");
            WriteFileBytes(name, jpegs.back());
            EXPECT_EQ(MakeJpeg(name.c_str(), c.w, c.h, 0, nullptr), k);
        }
        for (int k = 0; k < n; ++k) {
            auto cmds = EditorShapeCommands(k, c.w, c.h);
            EXPECT_EQ(MakeShape("", 0, 24, cmds.data()), n + k);
        }
        ShowFrame();
        for (int k = 0; k < n; ++k) {
            for (int repeat = 0; repeat < 2; ++repeat) {
                if (k >= 1) RemoveObject(n + k - 1);
                PlaceObject(n + k, n + k);
                ShowFrame();
            }
        }
        ParsedMovie m = Write(c.w, c.h, 10, 0);
        EXPECT_EQ(m.signature, "FWS");
        EXPECT_EQ(m.version, 5);
        EXPECT_EQ(m.rectBits, c.rectBits);
        EXPECT_EQ(m.xmax, c.w * 20);
        EXPECT_EQ(m.ymax, c.h * 20);
        EXPECT_EQ(m.rate, 10 << 8);
        EXPECT_EQ(m.frameCount, 1 + 2 * n + 1);
        EXPECT_EQ(m.Count(1), size_t(1 + 2 * n));
        EXPECT_EQ(m.Count(21), size_t(n));
        EXPECT_EQ(m.Count(32), size_t(n));
        EXPECT_EQ(m.Count(26), size_t(n));  // the second placement of a shape is skipped
        EXPECT_EQ(m.Count(28), size_t(n - 1));
        EXPECT_EQ(m.Count(12), 0u);
        EXPECT_EQ(m.tags.back().code, 0);

        // The JPEG bytes are carried unchanged after the id.
        EXPECT_EQ(std::vector<uint8_t>(m.tags[1].body.begin() + 2, m.tags[1].body.end()), jpegs[1]);

        // Each shape is the full box, filled with its bitmap scaled by 20.
        FlashTagDefineShape3 shape;
        ReadBody(m.tags[n + 2], shape);
        EXPECT_EQ(shape.GetId(), n + 2);
        EXPECT_EQ(shape.GetStoredBounds(), FlashRect(0, 0, c.w * 20, c.h * 20));
        ASSERT_EQ(shape.GetShapes().GetFillStyles().Count(), 1u);
        auto* fill = dynamic_cast<FlashFillStyleBitmap*>(shape.GetShapes().GetFillStyles().Get(0));
        ASSERT_NE(fill, nullptr);
        EXPECT_EQ(fill->GetBitmapId(), 2);
        EXPECT_EQ(fill->GetMatrix().GetScaleX(), FlashFixed(20, 0));
        EXPECT_EQ(fill->GetMatrix().GetTranslateX(), 0);
        const auto& edges = shape.GetShapes().GetShape().GetStraights();
        ASSERT_EQ(edges.size(), 4u);
        EXPECT_EQ(edges[0].GetDX(), c.w * 20);
        EXPECT_EQ(edges[1].GetDY(), c.h * 20);
        EXPECT_EQ(edges[2].GetDX(), -c.w * 20);
        EXPECT_EQ(edges[3].GetDY(), -c.h * 20);
    }
}

TEST_F(MovieTest, DisplayListBookkeeping)
{
    CreateMovie(12);
    PlaceObject(1, 1);
    PlaceObject(1, 1);   // depthUsed[1] is set: nothing
    RemoveObject(7);     // never placed: nothing
    RemoveObject(1);
    RemoveObject(1);     // already removed: nothing
    PlaceObject(60000, 40000);
    RemoveObject(60000);
    PlaceObject(-1, 2);  // depths are taken as 16 bits
    RemoveObject(65535);
    ParsedMovie m = Write(10, 10, 12, 0);
    EXPECT_EQ(m.Codes(), (std::vector<uint16_t>{26, 28, 26, 28, 26, 28, 0}));
    FlashTagPlaceObject2 far;
    ReadBody(m.tags[2], far);
    EXPECT_EQ(far.GetDepth(), 60000);
    EXPECT_EQ(far.GetCharacterId(), 40000);
}

TEST_F(MovieTest, ManyFramesAndDepthsStayInsideTheTable)
{
    CreateMovie(30);
    for (int frame = 0; frame < 6000; ++frame) {
        int depth = 9990 + frame;
        PlaceObject(depth, depth);
        if (frame > 0) RemoveObject(depth - 1);
        ShowFrame();
    }
    ParsedMovie m = Write(10, 10, 30, 0);
    EXPECT_EQ(m.frameCount, 6001);
    EXPECT_EQ(m.Count(26), 6000u);
    EXPECT_EQ(m.Count(28), 5999u);
}

TEST_F(MovieTest, TransformObjectFlagsAndValues)
{
    CreateMovie(10);
    int params[18] = {1, 150, -50, 0, 99, 99, 3, -4, 1, 10, -20, 30, 0, 0, 256, 256, 256, 256};
    TransformObject(5, 2, params);
    TransformObject(5, 2, params);
    int flip[18] = {1, -100, 100, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 128, 64, 32, 255};
    TransformObject(6, 3, flip);
    ParsedMovie m = Write(10, 10, 10, 0);
    ASSERT_EQ(m.Codes(), (std::vector<uint16_t>{26, 26, 26, 0}));
    EXPECT_EQ(m.tags[0].body[0], 0x0E);
    EXPECT_EQ(m.tags[1].body[0], 0x0F);
    FlashTagPlaceObject2 t;
    ReadBody(m.tags[0], t);
    EXPECT_EQ(t.GetMatrix().GetScaleX(), FlashFixed(1, 32768));
    EXPECT_EQ(t.GetMatrix().GetScaleY().ConvertToDouble(), -0.5);
    EXPECT_FALSE(t.GetMatrix().HasRotate());
    EXPECT_EQ(t.GetMatrix().GetTranslateX(), 60);
    EXPECT_EQ(t.GetMatrix().GetTranslateY(), -80);
    EXPECT_TRUE(t.GetColorTransform().HasAdd());
    EXPECT_FALSE(t.GetColorTransform().HasMult());
    EXPECT_EQ(t.GetColorTransform().GetAddTerms(), FlashRGBA(10, -20, 30, 0));
    FlashTagPlaceObject2 f;
    ReadBody(m.tags[2], f);
    EXPECT_EQ(f.GetMatrix().GetScaleX().ConvertToDouble(), -1.0);
    EXPECT_TRUE(f.GetMatrix().HasRotate());
    EXPECT_EQ(f.GetColorTransform().GetMultTerms(), FlashRGBA(128, 64, 32, 255));

    struct Case { int percent; int32_t raw; } cases[] = {
        {150, 0x18000}, {-50, -0x8000}, {100, 0x10000}, {33, 21626}, {-250, -0x28000}, {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(PercentToFixed(c.percent), c.raw) << c.percent;
}

TEST_F(MovieTest, StartActionFollowsThePlayFlagsLowByte)
{
    struct Case { int flag; bool action; } cases[] = {{0, false}, {0x100, false}, {1, true}, {0x1FF, true}};
    for (const auto& c : cases) {
        CreateMovie(10);
        ShowFrame();
        ParsedMovie m = Write(10, 10, 10, c.flag);
        if (c.action) {
            ASSERT_EQ(m.Codes(), (std::vector<uint16_t>{1, 12, 0}));
            EXPECT_EQ(Hex(m.tags[1].body), "81 02 00 01 00 06 00");
        } else {
            EXPECT_EQ(m.Codes(), (std::vector<uint16_t>{1, 0}));
        }
        EXPECT_EQ(m.frameCount, 2);
    }
}

TEST_F(MovieTest, ShapeCommands)
{
    CreateMovie(10);
    // count 5: the loop needs i < count - 1, so no command runs
    int none[] = {0, 0, 10, 10, 6};
    EXPECT_EQ(MakeShape("", 0, 5, none), 0);
    std::vector<int> cmds = {
        1, 2, 100, 50,            // box at (20, 40) twips, 2000 x 1000
        5, 2, 0, 0, 0, 255,       // line style 1: 40 twips black
        6, 255, 0, 0, 128,        // fill 1: solid red
        8, 1, 0, 0, 0, 255, 255, 1, 255, 255, 255, 255, 255, 0,  // fill 2: gradient, 2 stops
        7, 9, 1,                  // fill 3: clipped bitmap 9
        9,                        // unknown: consumes nothing
        3, 2, 4, 1,               // select fill 2 and line 1
        0, 5, 10,                 // move to (10, 5) px
        1, 0, 30,                 // line 30 px right
        2, 10, 0, 0, 10,          // curve: control (10, 0), anchor (0, 10) px
        1, -10, -40,
    };
    EXPECT_EQ(MakeShape("", 0, int(cmds.size()), cmds.data()), 1);
    // Commands whose values run past the end stop the list instead of reading beyond it.
    std::vector<int> cut = {0, 0, 10, 10, 6, 1, 2, 3, 4, 2, 1};
    EXPECT_EQ(MakeShape("", 0, int(cut.size()), cut.data()), 2);
    EXPECT_EQ(MakeBlankShape(), 3);
    // Gradient boxes wider than 16384 twips or of no size get their exact scale.
    std::vector<int> wide = {0, 0, 1920, 0, 8, 1, 0, 0, 0, 0, 255, 0};
    EXPECT_EQ(MakeShape("", 0, int(wide.size()), wide.data()), 4);
    ParsedMovie m = Write(10, 10, 10, 0);
    ASSERT_EQ(m.Codes(), (std::vector<uint16_t>{32, 32, 32, 32, 32, 0}));
    FlashTagDefineShape3 wideShape;
    ReadBody(m.tags[4], wideShape);
    auto* wideFill = dynamic_cast<FlashFillStyleGradient*>(wideShape.GetShapes().GetFillStyles().Get(0));
    ASSERT_NE(wideFill, nullptr);
    EXPECT_EQ(wideFill->GetMatrix().GetScaleX().ConvertToRaw(), 2 * 38400);
    EXPECT_EQ(wideFill->GetMatrix().GetScaleY().ConvertToRaw(), 0);
    EXPECT_EQ(wideFill->GetMatrix().GetTranslateX(), 19200);

    FlashTagDefineShape3 empty, full, truncated, blank;
    ReadBody(m.tags[0], empty);
    ReadBody(m.tags[1], full);
    ReadBody(m.tags[2], truncated);
    ReadBody(m.tags[3], blank);
    EXPECT_EQ(empty.GetShapes().GetShape().RecordCount(), 0u);
    EXPECT_EQ(blank.GetShapes().GetShape().RecordCount(), 0u);
    EXPECT_EQ(truncated.GetShapes().GetFillStyles().Count(), 1u);
    EXPECT_EQ(truncated.GetShapes().GetShape().RecordCount(), 0u);

    const auto& s = full.GetShapes();
    ASSERT_EQ(s.GetLineStyles().Count(), 1u);
    EXPECT_EQ(s.GetLineStyles().Get(0)->GetWidth(), 40);
    ASSERT_EQ(s.GetFillStyles().Count(), 3u);
    auto* solid = dynamic_cast<FlashFillStyleSolid*>(s.GetFillStyles().Get(0));
    auto* gradient = dynamic_cast<FlashFillStyleGradient*>(s.GetFillStyles().Get(1));
    auto* bitmap = dynamic_cast<FlashFillStyleBitmap*>(s.GetFillStyles().Get(2));
    ASSERT_TRUE(solid && gradient && bitmap);
    EXPECT_EQ(solid->GetColor(), FlashRGBA(255, 0, 0, 128));
    EXPECT_EQ(gradient->GetGradient().GetRatios(), (std::vector<uint8_t>{0, 255}));
    // 32768 div 2000 = 16, 65536 div 16 = 4096; centre (20 + 1000, 40 + 500)
    EXPECT_EQ(gradient->GetMatrix().GetScaleX().ConvertToRaw(), 4096);
    EXPECT_EQ(gradient->GetMatrix().GetScaleY().ConvertToRaw(), 65536 / 32);
    EXPECT_EQ(gradient->GetMatrix().GetTranslateX(), 1020);
    EXPECT_EQ(gradient->GetMatrix().GetTranslateY(), 540);
    EXPECT_EQ(bitmap->GetBitmapId(), 9);
    EXPECT_FALSE(bitmap->IsTiled());
    EXPECT_EQ(bitmap->GetMatrix().GetTranslateX(), 20);
    EXPECT_EQ(bitmap->GetMatrix().GetTranslateY(), 40);

    const auto& order = s.GetShape().GetOrder();
    ASSERT_EQ(order.size(), 6u);
    EXPECT_EQ(s.GetShape().GetChanges()[0].GetFillStyle0(), 2);
    EXPECT_EQ(s.GetShape().GetChanges()[1].GetLineStyle(), 1);
    EXPECT_EQ(s.GetShape().GetChanges()[2].GetX(), 200);
    EXPECT_EQ(s.GetShape().GetChanges()[2].GetY(), 100);
    const auto& curve = s.GetShape().GetCurves()[0];
    EXPECT_EQ(curve.GetControlDX(), 200);
    EXPECT_EQ(curve.GetControlDY(), 0);
    EXPECT_EQ(curve.GetAnchorDX(), 0);
    EXPECT_EQ(curve.GetAnchorDY(), 200);
    EXPECT_EQ(full.GetStoredBounds(), FlashRect(200, 100, 1000, 300));
}

TEST_F(MovieTest, HugeShapeValuesAreHeldToWhatTheFieldsStore)
{
    CreateMovie(10);
    const int big = 2000000000;  // pixels: far past any twips field
    // A gradient on a box of the largest size, then a move to a point past 2^30 twips.
    std::vector<int> cmds = {big, big, big, big, 8, 1, 0, 0, 0, 0, 255, 0, 3, 1, 0, -big, big};
    EXPECT_EQ(MakeShape("", 0, int(cmds.size()), cmds.data()), 0);
    ParsedMovie m = Write(10, 10, 10, 0);
    ASSERT_EQ(m.Codes(), (std::vector<uint16_t>{32, 0}));
    FlashTagDefineShape3 shape;
    ReadBody(m.tags[0], shape);
    auto* gradient = dynamic_cast<FlashFillStyleGradient*>(shape.GetShapes().GetFillStyles().Get(0));
    ASSERT_NE(gradient, nullptr);
    // The centre, computed without overflow, is held to what the matrix stores.
    EXPECT_EQ(gradient->GetMatrix().GetTranslateX(), (1 << 30) - 1);
    EXPECT_EQ(gradient->GetMatrix().GetTranslateY(), (1 << 30) - 1);
    const auto& changes = shape.GetShapes().GetShape().GetChanges();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].GetX(), (1 << 30) - 1);
    EXPECT_EQ(changes[1].GetY(), -((1 << 30) - 1));
}

TEST_F(MovieTest, JpegFailuresUseNoId)
{
    CreateMovie(10);
    EXPECT_EQ(MakeJpeg(folder.File("missing.jpg").c_str(), 4, 4, 0, nullptr), 0);
    std::string name = folder.File("a.jpg");
    auto jpeg = EncodeJpeg(4, 2, 1);
    WriteFileBytes(name, jpeg);
    EXPECT_EQ(MakeJpeg(name.c_str(), 4, 2, 1, nullptr), 0);  // alpha plane missing
    EXPECT_EQ(MakeJpeg(name.c_str(), -4, 2, 1, jpeg.data()), 0);
    std::vector<uint8_t> alpha = {0, 64, 128, 255, 255, 128, 64, 0};
    EXPECT_EQ(MakeJpeg(name.c_str(), 4, 2, 1, alpha.data()), 0);  // the first id is still free
    EXPECT_EQ(MakeJpeg(name.c_str(), 4, 2, 0, nullptr), 1);
    ParsedMovie m = Write(4, 2, 10, 0);
    ASSERT_EQ(m.Codes(), (std::vector<uint16_t>{35, 21, 0}));
    FlashTagDefineBitsJPEG3 withAlpha;
    ReadBody(m.tags[0], withAlpha);
    EXPECT_EQ(std::vector<uint8_t>(withAlpha.GetJpegData(), withAlpha.GetJpegData() + withAlpha.GetJpegLength()),
              jpeg);
    std::vector<uint8_t> inflated(alpha.size());
    uLongf size = uLongf(inflated.size());
    ASSERT_EQ(uncompress(inflated.data(), &size, withAlpha.GetAlphaData(), withAlpha.GetAlphaLength()), Z_OK);
    EXPECT_EQ(inflated, alpha);
}

// A movie of many megabytes grows its tag stream in large steps; every picture still arrives
// whole and in order, between the small tags written around it.
TEST_F(MovieTest, AMovieOfManyMegabytesKeepsEveryByte)
{
    CreateMovie(10);
    std::vector<std::vector<uint8_t>> pictures;
    for (int k = 0; k < 7; ++k) {
        std::vector<uint8_t> bytes(size_t(1500000 + 4099 * k));
        uint32_t x = 2463534242u + uint32_t(k);
        for (uint8_t& b : bytes) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = uint8_t(x);
        }
        const std::string name = folder.File("ZQF" + std::to_string(k) + ".jpg");
        WriteFileBytes(name, bytes);
        EXPECT_EQ(MakeJpeg(name.c_str(), 4, 4, 0, nullptr), k);
        ShowFrame();
        pictures.push_back(std::move(bytes));
    }
    const ParsedMovie m = Write(4, 4, 10, 0);
    ASSERT_EQ(m.tags.size(), 2 * pictures.size() + 1);
    for (size_t k = 0; k < pictures.size(); ++k) {
        SCOPED_TRACE(k);
        const ParsedTag& tag = m.tags[2 * k];
        ASSERT_EQ(tag.code, 21);
        ASSERT_EQ(tag.body.size(), pictures[k].size() + 2);
        EXPECT_EQ(tag.body[0] | tag.body[1] << 8, int(k));
        EXPECT_TRUE(std::equal(pictures[k].begin(), pictures[k].end(), tag.body.begin() + 2));
        EXPECT_EQ(m.tags[2 * k + 1].code, 1);
    }
}

TEST_F(MovieTest, WriteFailureIsReportedAndResetsTheMovie)
{
    CreateMovie(10);
    EXPECT_EQ(MakeBlankShape(), 0);
    std::string existing = folder.File("keep.swf");
    WriteFileBytes(existing, {1, 2, 3});
    EXPECT_EQ(WriteMovie(folder.File("no/such/folder/movie.swf").c_str(), 10, 10, 10, 0), 0);
    EXPECT_EQ(WriteMovie(folder.Path().c_str(), 10, 10, 10, 0), 0);  // a folder, not a file
    // State was reset: a new movie starts at id 0 with an empty tag stream.
    CreateMovie(10);
    EXPECT_EQ(MakeBlankShape(), 0);
    ASSERT_EQ(WriteMovie(existing.c_str(), 10, 10, 10, 0), 1);
    ParsedMovie m = ParseMovie(ReadFileBytes(existing));
    EXPECT_TRUE(m.ok);
    EXPECT_EQ(m.Codes(), (std::vector<uint16_t>{32, 0}));
    EXPECT_EQ(movieTagStream.Size(), 0u);
}

TEST_F(MovieTest, CreateMovieWithoutWriteKeepsTheTags)
{
    CreateMovie(10);
    SetBkColor(0x1FF, 0x80, 0x40);
    EXPECT_EQ(MakeBlankShape(), 0);
    CreateMovie(10);
    EXPECT_EQ(MakeBlankShape(), 1);
    ParsedMovie m = Write(10, 10, 10, 0);
    ASSERT_EQ(m.Codes(), (std::vector<uint16_t>{9, 32, 32, 0}));
    EXPECT_EQ(Hex(m.tags[0].body), "FF 80 40");
}

TEST_F(MovieTest, GlyphCommandAddsTheOutline)
{
    CreateMovie(10);
    int glyph[] = {0, 0, 0, 0, 6, 0, 0, 0, 255, 10, 0, 0, 0};
    EXPECT_EQ(MakeShape("Liberation Sans", 'A', 13, glyph), 0);
    EXPECT_EQ(MakeShape("Liberation Sans", ' ', 13, glyph), 1);
    ParsedMovie m = Write(10, 10, 10, 0);
    FlashTagDefineShape3 letter, space;
    ReadBody(m.tags[0], letter);
    ReadBody(m.tags[1], space);
    // The outliner's first record selects fill 1 and line 0; a space adds nothing more.
    const auto& spaceShape = space.GetShapes().GetShape();
    ASSERT_EQ(spaceShape.RecordCount(), 1u);
    EXPECT_EQ(spaceShape.GetChanges()[0].GetFillStyle0(), 1);
    EXPECT_TRUE(spaceShape.GetChanges()[0].HasLineStyle());
    const auto& a = letter.GetShapes().GetShape();
    EXPECT_GT(a.RecordCount(), 3u);
    EXPECT_GT(a.GetStraights().size(), 2u);
    FlashRect bounds = letter.GetStoredBounds();
    EXPECT_LT(bounds.GetY1(), 1024);  // the glyph rises above the baseline at y = 1024
    EXPECT_GT(bounds.GetX2(), bounds.GetX1());
}
