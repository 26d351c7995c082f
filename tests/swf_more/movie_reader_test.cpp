#include "swf/movie_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "swf/text_dump.h"
#include "tests/swf_more/every_tag_movie.h"
#include "tests/swf_more/support.h"

namespace {

// Notes the code of every tag as the handler operation that received it saw it;
// unknown tags as "?code". Takes only the operations every handler must have.
class PartHandler : public FlashTagHandler {
public:
    std::vector<std::string> seen;
    void HandleDefineShape3(FlashTagDefineShape3&) override { seen.push_back("32"); }
    void HandleDefineShape2(FlashTagDefineShape2&) override { seen.push_back("22"); }
    void HandleDefineShape(FlashTagDefineShape1&) override { seen.push_back("2"); }
    void HandleDefineBitsLossless2(FlashTagDefineBitsLossless2&) override { seen.push_back("36"); }
    void HandleDefineBitsLossless(FlashTagDefineBitsLossless&) override { seen.push_back("20"); }
    void HandleDefineBitsJPEG3(FlashTagDefineBitsJPEG3&) override { seen.push_back("35"); }
    void HandleDefineBitsJPEG2(FlashTagDefineBitsJPEG2&) override { seen.push_back("21"); }
    void HandleJPEGTables(FlashTagJPEGTables&) override { seen.push_back("8"); }
    void HandleDefineBits(FlashTagDefineBitsJPEG1&) override { seen.push_back("6"); }
    void HandleImportAssets(FlashTagImportAssets&) override { seen.push_back("57"); }
    void HandleExportAssets(FlashTagExportAssets&) override { seen.push_back("56"); }
    void HandleEnd(FlashTagEnd&) override { seen.push_back("0"); }
    void HandleProtect(FlashTagProtect&) override { seen.push_back("24"); }
    void HandleFrameLabel(FlashTagLabelFrame&) override { seen.push_back("43"); }
    void HandleBackgroundColor(FlashTagBackgroundColor&) override { seen.push_back("9"); }
    void HandleShowFrame(FlashTagShowFrame&) override { seen.push_back("1"); }
    void HandlePlaceObject2(FlashTagPlaceObject2& t) override { seen.push_back("26"); lastPlace = t.GetDepth(); }
    void HandlePlaceObject(FlashTagPlaceObject&) override { seen.push_back("4"); }
    void HandleRemoveObject2(FlashTagRemoveObject2&) override { seen.push_back("28"); }
    void HandleRemoveObject(FlashTagRemoveObject&) override { seen.push_back("5"); }
    void HandleUnknownTag(const FlashTagHeader& h) override { seen.push_back("?" + std::to_string(h.GetTagID())); }
    void HandleHeader(const FlashHeader& h) override { header = h; seen.push_back("header"); }
    FlashHeader header;
    int lastPlace = -1;
};

// Takes every tag the library reads, and keeps what the checks below look at.
class FullHandler : public PartHandler {
public:
    void HandleDoAction(FlashTagDoAction& t, const FlashTagHeader&) override { Note(12); actions += t.GetActions().size(); }
    void HandleEnableDebugger(FlashTagEnableDebugger&, const FlashTagHeader&) override { Note(58); }
    void HandleFreeCharacter(FlashTagFreeCharacter&, const FlashTagHeader&) override { Note(3); }
    void HandleDefineFontInfo(FlashTagDefineFontInfo& t, const FlashTagHeader&) override { Note(13); fontCodes = t.GetCodes(); }
    void HandleDefineEditText(FlashTagDefineEditText& t, const FlashTagHeader&) override { Note(37); editText = t.GetInitialText(); }
    void HandleDefineSound(FlashTagDefineSoundBase& t, const FlashTagHeader&) override { Note(14); soundBytes += t.GetDataLength(); }
    void HandleStartSound(FlashTagStartSound& t, const FlashTagHeader&) override { Note(15); startLoops = t.GetSoundInfo().GetLoopCount(); }
    void HandleSoundStreamHead(FlashTagSoundStreamHead&, const FlashTagHeader& h) override { Note(h.GetTagID()); }
    void HandleSoundStreamBlock(FlashTagSoundStreamBlockBase& t, const FlashTagHeader&) override {
        Note(19);
        if (auto* mp3 = dynamic_cast<FlashTagSoundStreamBlock*>(&t)) streamSamples += mp3->GetSampleCount();
        soundBytes += t.GetDataLength();
    }
    void HandleDefineButton(FlashTagDefineButton&, const FlashTagHeader&) override { Note(7); }
    void HandleDefineButton2(FlashTagDefineButton2& t, const FlashTagHeader&) override { Note(34); condActions += t.GetCondActions().size(); }
    void HandleDefineBitsPtr(FlashTagDefineBitsPtr&, const FlashTagHeader&) override { Note(1023); }
    void HandleDefineMovie(FlashTagDefineMovie& t, const FlashTagHeader&) override { Note(38); movieName = t.GetName(); }
    void Note(int code) { seen.push_back(std::to_string(code)); }
    std::size_t actions = 0, condActions = 0, soundBytes = 0;
    long long streamSamples = 0;
    std::vector<uint16_t> fontCodes;
    std::string editText, movieName;
    int startLoops = 0;
};

// Reads all tags, returning what the reader printed.
std::string ReadAll(const std::vector<uint8_t>& file, FlashTagHandler& handler, int* tags = nullptr) {
    testing::internal::CaptureStdout();
    FlashInputStream in(file);
    FlashReader reader;
    reader.ReadHeader(in, handler);
    int n = 0;
    while (reader.ReadTag(in, handler)) ++n;
    if (tags) *tags = n;
    return testing::internal::GetCapturedStdout();
}

std::vector<uint8_t> Movie(const std::vector<uint8_t>& tags) {
    FlashOutputStream file;
    FlashHeader(5, uint32_t(tags.size()), 2000, 2000, 12.0, 1).Write(file);
    file.WriteBytes(tags.data(), tags.size());
    return file.Bytes();
}

TEST(FlashReader, ReadsBackEveryTagWeWrite) {
    swftest::ScratchDir dir;
    const auto movie = swftest::BuildEveryTagMovie(swftest::MakeMp3(dir, 22050, 0.5, 1, 32));
    FullHandler handler;
    EXPECT_EQ(ReadAll(movie.file, handler), "");
    std::vector<std::string> expected = {"header"};
    for (uint16_t code : movie.codes) expected.push_back(std::to_string(code));
    // The library reads no body of these back: they come as unknown tags.
    for (auto& e : expected)
        if (e == "10" || e == "11" || e == "33" || e == "48" || e == "46" || e == "39") e = "?" + e;
    EXPECT_EQ(handler.seen, expected);
    EXPECT_EQ(handler.condActions, 2u);
    EXPECT_EQ(handler.fontCodes, (std::vector<uint16_t>{'a', 0x20AC}));
    EXPECT_EQ(handler.editText, "type here");
    EXPECT_EQ(handler.movieName, "other.swf");
    EXPECT_EQ(handler.startLoops, 2);
    const auto mp3 = swftest::ReadFile(dir.File("tone_22050_1_32.mp3"));
    EXPECT_EQ(handler.soundBytes, 2 * mp3.size());
    EXPECT_EQ(handler.streamSamples % 576, 0);
    EXPECT_GT(handler.streamSamples, 22050 / 2 - 576);

    // A handler of the basic operations alone gets the rest as unknown tags.
    PartHandler basic;
    EXPECT_EQ(ReadAll(movie.file, basic), "");
    ASSERT_EQ(basic.seen.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string& e = expected[i];
        const bool known = e == "header" || e == "0" || e == "1" || e == "26" || e == "28" || e == "32";
        EXPECT_EQ(basic.seen[i], known || e[0] == '?' ? e : "?" + e) << i;
    }
}

TEST(FlashReader, YaswfpParsesEveryTagWithItsExactLength) {
    swftest::ScratchDir dir;
    const auto movie = swftest::BuildEveryTagMovie(swftest::MakeMp3(dir, 44100, 0.3, 2, 64), false);
    const std::string path = dir.File("every.swf");
    swftest::WriteFile(path, movie.file);
    const std::string listing = swftest::YaswfpTags(path);
    ASSERT_FALSE(listing.empty());
    EXPECT_EQ(listing.find("FailingObject"), std::string::npos) << listing;
    // The tags it parses field by field; the rest it keeps as raw payloads.
    for (const char* parsed : {"DefineButton2 DefineButton2", "DefineText2 DefineText2", "DefineEditText DefineEditText",
                               "DefineFont2 DefineFont2", "DefineSprite DefineSprite", "  PlaceObject2 PlaceObject2",
                               "  RemoveObject2 RemoveObject2", "DefineShape3 DefineShape3", "DefineText DefineText"})
        EXPECT_NE(listing.find(parsed), std::string::npos) << parsed << "\n" << listing;
    std::size_t lines = 0;
    for (char c : listing) lines += c == '\n';
    const std::size_t spriteTags = 4;  // yaswfp lists the sprite's End no more than the movie's
    EXPECT_EQ(lines, movie.codes.size() - 1 + spriteTags);
}

TEST(FlashReader, HeaderAndEndOnly) {
    PartHandler h;
    int tags = -1;
    EXPECT_EQ(ReadAll(Movie({0, 0}), h, &tags), "");
    EXPECT_EQ(h.seen, (std::vector<std::string>{"header", "0"}));
    EXPECT_EQ(tags, 0);
    EXPECT_EQ(h.header.GetScreenSize().GetX2(), 2000);
}

TEST(FlashReader, RepairsShortBodiesAndStopsOnLongOnes) {
    struct Case {
        std::vector<uint8_t> tags;
        std::string printed;
        std::vector<std::string> seen;
    };
    const Case cases[] = {
        // DoAction (Play), then ShowFrame: an unknown tag for the basic handler.
        {{0x02, 0x03, 0x06, 0x00, 0x40, 0x00, 0, 0}, "", {"header", "?12", "1", "0"}},
        // PlaceObject2 with two bytes beyond its fields.
        {{0x87, 0x06, 0x02, 0x01, 0x00, 0x03, 0x00, 0xAA, 0xBB, 0x40, 0x00, 0, 0},
         "Extra Tag Data Encountered: 2", {"header", "26", "1", "0"}},
        // The same placement with a long-form record header.
        {{0xBF, 0x06, 5, 0, 0, 0, 0x02, 0x01, 0x00, 0x03, 0x00, 0, 0}, "", {"header", "26", "0"}},
        // A PlaceObject2 whose flags want a matrix its 3 bytes don't hold: reading stops
        // there and never takes the ShowFrame's bytes for the matrix.
        // The count is of the bytes the fields wanted past the body: the matrix's 7 bits.
        {{0x83, 0x06, 0x04, 0x01, 0x00, 0x40, 0x00, 0, 0}, "Tag Size Discrepancy: -1", {"header", "26"}},
        // A body longer than the file.
        // Depth and character id want 4 bytes where 1 is left.
        {{0x8A, 0x06, 0x02, 0x01}, "Tag Size Discrepancy: -3", {"header", "26"}},
        // A record header cut in half.
        {{0x40}, "", {"header"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printed);
        PartHandler h;
        EXPECT_EQ(ReadAll(Movie(c.tags), h), c.printed);
        EXPECT_EQ(h.seen, c.seen);
    }
}

TEST(TextDump, PrintsTheFixedLineForms) {
    std::ostringstream place;
    Dump(FlashTagPlaceObject2(1, 3), place);
    EXPECT_EQ(place.str(),
              "\n<PlaceObject2>\nDepth: 1\nHasCharID: true [3]\nHasMatrix: false\nHasColorTransform: false\n"
              "HasMove: false\nHasRatio: false\nHasName: false\n");

    std::ostringstream header;
    FlashOutputStream file;
    FlashHeader(5, 0, 2000, 2000, 12.0, 1).Write(file);
    FlashHeader read;
    FlashInputStream in(file.Data(), file.Size());
    read.Read(in);
    Dump(read, header);
    EXPECT_EQ(header.str(), "\n<FLASH FILE HEADER>\nFile Version: 5\nFrame Size (x): 2000\nFrame Size (y): 2000\n"
                            "Frame Rate: 12\nFrame Count: 1\nFile Length: 19\n");

    std::ostringstream protect;
    Dump(FlashTagProtect(), protect);
    EXPECT_EQ(protect.str(), "\n<FlashTagProtect>\n");

    FlashMatrix m;
    m.SetScale(FlashFixed(1, 32768), FlashFixed(2, 0));
    m.SetTranslate(20, -40);
    FlashTagPlaceObject2 moved(2, 4, m, FlashColorTransform(true, FlashRGBA(1, 2, 3, 4), false, FlashRGBA()));
    moved.SetMove(true);
    moved.SetName("n");
    FlashOutputStream bytes;
    moved.Write(bytes);
    FlashTagPlaceObject2 back;
    FlashInputStream body(bytes.Data() + 2, bytes.Size() - 2);
    back.SetTagLength(uint32_t(bytes.Size() - 2));
    back.Read(body);
    std::ostringstream full;
    Dump(back, full);
    EXPECT_EQ(full.str(),
              "\n<PlaceObject2>\nDepth: 2\nHasCharID: true [4]\nHasMatrix: true\n  Scale:     1.50001, 2\n"
              "  Translate: 20, -40\nHasColorTransform: true\n  AddRGBA:  1, 2, 3, 4\nHasMove: true\n"
              "HasRatio: false\nHasName: true [n]\n");
}

TEST(TextDump, ListsEveryTagOfAMovie) {
    swftest::ScratchDir dir;
    const auto movie = swftest::BuildEveryTagMovie(swftest::MakeMp3(dir, 11025, 0.3, 1, 16));
    std::ostringstream out;
    testing::internal::CaptureStdout();
    const int tags = DumpMovie(movie.file.data(), movie.file.size(), out);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(std::size_t(tags), movie.codes.size());
    const std::string text = out.str();
    std::size_t headings = 0;
    for (std::size_t p = text.find("\n<"); p != std::string::npos; p = text.find("\n<", p + 1)) ++headings;
    EXPECT_EQ(headings, movie.codes.size() + 1);
    for (const char* h : {"<FLASH FILE HEADER>", "<FlashTagDefineShape3>", "<PlaceObject2>", "<FlashTagShowFrame>",
                          "<FlashTagDefineBitsPtr>", "<UNKNOWN TAG>\nID: 34\n", "<UNKNOWN TAG>\nID: 45\n", "<FlashTagEnd>"})
        EXPECT_NE(text.find(h), std::string::npos) << h;
}

}  // namespace
