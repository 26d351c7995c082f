// Every reader of the object model, fed random bytes and cut-off bodies whose declared
// length is larger than the data: no read may leave the buffer (the sanitizers watch),
// and a body that runs short must leave the stream failed.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "swf/actions.h"
#include "swf/bitmap_tags.h"
#include "swf/control_tags.h"
#include "swf/shape.h"
#include "tests/swf/swf_test_util.h"

namespace {

struct Reader {
    const char* name;
    std::function<std::unique_ptr<FlashTag>()> make;
};

std::vector<Reader> Readers()
{
    return {
        {"PlaceObject", [] { return std::make_unique<FlashTagPlaceObject>(); }},
        {"PlaceObject2", [] { return std::make_unique<FlashTagPlaceObject2>(); }},
        {"RemoveObject", [] { return std::make_unique<FlashTagRemoveObject>(); }},
        {"RemoveObject2", [] { return std::make_unique<FlashTagRemoveObject2>(); }},
        {"BackgroundColor", [] { return std::make_unique<FlashTagBackgroundColor>(); }},
        {"Protect", [] { return std::make_unique<FlashTagProtect>(); }},
        {"EnableDebugger", [] { return std::make_unique<FlashTagEnableDebugger>(); }},
        {"LabelFrame", [] { return std::make_unique<FlashTagLabelFrame>(); }},
        {"ExportAssets", [] { return std::make_unique<FlashTagExportAssets>(); }},
        {"ImportAssets", [] { return std::make_unique<FlashTagImportAssets>(); }},
        {"FreeCharacter", [] { return std::make_unique<FlashTagFreeCharacter>(); }},
        {"DefineFontInfo", [] { return std::make_unique<FlashTagDefineFontInfo>(); }},
        {"DoAction", [] { return std::make_unique<FlashTagDoAction>(); }},
        {"DefineShape", [] { return std::make_unique<FlashTagDefineShape1>(); }},
        {"DefineShape2", [] { return std::make_unique<FlashTagDefineShape2>(); }},
        {"DefineShape3", [] { return std::make_unique<FlashTagDefineShape3>(); }},
        {"DefineBits", [] { return std::make_unique<FlashTagDefineBitsJPEG1>(); }},
        {"JPEGTables", [] { return std::make_unique<FlashTagJPEGTables>(); }},
        {"DefineBitsJPEG2", [] { return std::make_unique<FlashTagDefineBitsJPEG2>(); }},
        {"DefineBitsJPEG3", [] { return std::make_unique<FlashTagDefineBitsJPEG3>(); }},
        {"DefineBitsLossless", [] { return std::make_unique<FlashTagDefineBitsLossless>(); }},
        {"DefineBitsLossless2", [] { return std::make_unique<FlashTagDefineBitsLossless2>(); }},
    };
}

}  // namespace

TEST(SwfMalformedInput, RandomBodiesStayInsideTheirBuffers)
{
    std::mt19937 random(12345);
    for (const auto& reader : Readers()) {
        for (int round = 0; round < 300; ++round) {
            // An exact-size heap copy, so that any read past the end is caught.
            size_t size = random() % 48;
            auto data = std::make_unique<uint8_t[]>(size ? size : 1);
            for (size_t i = 0; i < size; ++i) {
                // Mostly 0xFF and 0x00 bytes: large counts, long lengths and missing terminators.
                uint32_t r = random();
                data[i] = r % 3 == 0 ? 0xFF : r % 3 == 1 ? 0x00 : uint8_t(r >> 8);
            }
            FlashInputStream in(data.get(), size);
            auto tag = reader.make();
            tag->SetTagLength(round % 2 ? uint32_t(size) : uint32_t(random()));
            tag->Read(in);
            EXPECT_LE(in.Tell(), size) << reader.name;
        }
    }
}

TEST(SwfMalformedInput, CutBodiesFail)
{
    // Valid bodies of a few tags, every proper prefix of them read with the full length.
    FlashMatrix m;
    m.SetScale(FlashFixed(2.0), FlashFixed(2.0));
    m.SetTranslate(1000, -1000);
    FlashFillStyleSolid solid(FlashRGBA(1, 2, 3, 4));
    FlashShapeWithStyle s;
    s.GetFillStyles().Add(&solid);
    FlashShapeRecordChange start(100, 100);
    start.SetFillStyle0(1);
    s.AddRecord(start);
    s.AddRecord(FlashShapeRecordStraight(500, 0));
    s.AddRecord(FlashShapeRecordCurved(10, 10, 10, -10));
    FlashActionGetURL url("http://x/", "_self");
    FlashActionDefineFunction f({"f", "a"});
    FlashActionPlay play;
    f.AddAction(&play);
    FlashTagDoAction doAction;
    doAction.AddAction(&url);
    doAction.AddAction(&f);
    const uint8_t jpeg[] = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
    const uint8_t alpha[] = {0x78, 0x9C, 3, 0, 0, 0, 0, 1};
    std::vector<uint8_t> pixels(16, 7);

    FlashTagPlaceObject2 place(1, 2, m, FlashColorTransform(true, FlashRGBA(1, 2, 3, 4), true, FlashRGBA()));
    place.SetName("n");
    FlashTagDefineShape3 shape(s);
    FlashTagDefineBitsJPEG3 jpeg3(jpeg, sizeof jpeg, alpha, sizeof alpha);
    FlashTagDefineBitsLossless2 lossless(5, 2, 2, FlashLosslessBitmapData({}, pixels.data(), 16));
    FlashTagImportAssets imports("u");
    imports.AddAsset("a", 1);
    struct Case { FlashTag* tag; std::function<std::unique_ptr<FlashTag>()> make; } cases[] = {
        {&place, [] { return std::make_unique<FlashTagPlaceObject2>(); }},
        {&shape, [] { return std::make_unique<FlashTagDefineShape3>(); }},
        {&doAction, [] { return std::make_unique<FlashTagDoAction>(); }},
        {&jpeg3, [] { return std::make_unique<FlashTagDefineBitsJPEG3>(); }},
        {&lossless, [] { return std::make_unique<FlashTagDefineBitsLossless2>(); }},
        {&imports, [] { return std::make_unique<FlashTagImportAssets>(); }},
    };
    for (const auto& c : cases) {
        FlashOutputStream out;
        c.tag->Write(out);
        std::vector<uint8_t> body = Body(out);
        for (size_t cut = 0; cut < body.size(); ++cut) {
            auto data = std::make_unique<uint8_t[]>(cut ? cut : 1);
            std::copy(body.begin(), body.begin() + long(cut), data.get());
            FlashInputStream in(data.get(), cut);
            auto tag = c.make();
            tag->SetTagLength(uint32_t(body.size()));
            tag->Read(in);
            EXPECT_TRUE(in.Failed()) << "cut at " << cut << " of " << body.size();
        }
    }
}
