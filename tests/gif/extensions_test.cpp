// Extension blocks: what each class reads, keeps and writes back.
#include <gtest/gtest.h>

#include "gif/gifimage.h"
#include "tests/gif/fixture.h"

using namespace gif;
using namespace giftest;

namespace {

Bytes WithExtensions(const Bytes& extensions) {
  return Cat({Header(2, 1, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}), extensions, Image(0, 0, 2, 1, {1, 2}), Bytes{0x3B}});
}

const std::size_t kHeaderSize = 13 + 12;

// Everything but the image data must come back as it was; the image data is
// our encoder's and is checked by the pixels it decodes to.
void ExpectSameBlocks(const Bytes& saved, const Bytes& file, std::size_t extensionsSize) {
  const std::size_t n = kHeaderSize + extensionsSize;
  ASSERT_GT(saved.size(), n);
  EXPECT_EQ(Bytes(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(n)),
            Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)));
  EXPECT_EQ(saved[n], 0x2C);
  TGIFImage again;
  again.LoadFromMemory(saved);
  EXPECT_EQ(again.Images().GetFrame(0)->GetPixel(1, 0), 2);
  EXPECT_EQ(again.SaveToMemory(), saved);
}

Bytes Comment(const std::string& text) { return Cat({Bytes{0x21, 0xFE, static_cast<std::uint8_t>(text.size())}, Text(text), Bytes{0}}); }

Bytes Loop(int loops) { return Cat({Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{3, 1}, Bytes{std::uint8_t(loops), std::uint8_t(loops >> 8)}, Bytes{0}}); }

TEST(GIFExtensions, EveryBlockTypeRoundTripsByteForByte) {
  const Bytes plainText = Cat({Bytes{0x21, 0x01, 12, 1, 0, 2, 0, 30, 0, 8, 0, 6, 8, 1, 0, 5}, Text("Hello"), Bytes{0}});
  const struct {
    const char* name;
    Bytes extensions;
  } cases[] = {
      {"graphic control", GraphicControl(0x1D | 0xE0, 500, 3)},
      {"comment", Comment("a comment")},
      {"long comment", Cat({Bytes{0x21, 0xFE, 255}, Bytes(255, 'x'), Bytes{2, 'y', 'z', 0}})},
      {"plain text", plainText},
      {"loop", Loop(7)},
      {"loop with buffer", Cat({Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{3, 1, 0, 0, 5, 2, 1, 2, 3, 4, 0}})},
      {"animexts loop", Cat({Bytes{0x21, 0xFF, 11}, Text("ANIMEXTS1.0"), Bytes{3, 1, 2, 0, 0}})},
      {"unknown application", Cat({Bytes{0x21, 0xFF, 11}, Text("XMP DataXMP"), Bytes{4, 'a', 'b', 'c', 'd', 1, 'e', 0}})},
      {"application block of 10", Cat({Bytes{0x21, 0xFF, 10}, Text("ABCDEFGHIJ"), Bytes{1, 9, 0}})},
      {"application block of 12", Cat({Bytes{0x21, 0xFF, 12}, Text("ABCDEFGHIJKL"), Bytes{1, 9, 0}})},
      {"unknown label", Bytes{0x21, 0x2A, 2, 7, 8, 0}},
      {"all in a row", Cat({Comment("c"), GraphicControl(0x04, 10, 0), Loop(0)})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = WithExtensions(c.extensions);
    TGIFImage image;
    image.LoadFromMemory(file);
    ASSERT_EQ(image.Images().GetCount(), 1);
    ExpectSameBlocks(image.SaveToMemory(), file, c.extensions.size());
  }
}

TEST(GIFExtensions, KeepsTheirOrderAndTypes) {
  TGIFImage image;
  image.LoadFromMemory(WithExtensions(Cat({Comment("first"), GraphicControl(0x1D, 25, 1), Loop(3)})));
  TGIFExtensionList& list = image.Images().GetFrame(0)->Extensions();
  ASSERT_EQ(list.GetCount(), 3);
  auto* comment = dynamic_cast<TGIFCommentExtension*>(list.GetExtension(0));
  auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(list.GetExtension(1));
  auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(list.GetExtension(2));
  ASSERT_TRUE(comment && gce && loop);
  EXPECT_EQ(comment->Text(), TStrings{"first"});
  EXPECT_TRUE(gce->GetTransparent());
  EXPECT_FALSE(gce->GetUserInput());
  EXPECT_EQ(gce->GetDisposal(), 7);
  EXPECT_EQ(gce->GetDelay(), 25);
  EXPECT_EQ(loop->GetLoops(), 3);
  TGIFSubImage* frame = image.Images().GetFrame(0);
  EXPECT_EQ(frame->GraphicControlExtension(), gce);
  EXPECT_TRUE(frame->Transparent());
}

TEST(GIFExtensions, GraphicControlSettersAndOwnership) {
  TGIFImage image;
  Warnings warnings;
  warnings.Attach(image);
  image.LoadFromMemory(WithExtensions({}));
  TGIFSubImage* frame = image.Images().GetFrame(0);

  auto* first = new TGIFGraphicControlExtension(frame);
  frame->Extensions().Add(first);
  auto* second = new TGIFGraphicControlExtension(frame);
  frame->Extensions().Add(second);
  EXPECT_EQ(frame->GraphicControlExtension(), first);
  EXPECT_EQ(frame->Extensions().GetCount(), 2);

  first->SetDisposal(9);
  EXPECT_EQ(first->GetDisposal(), 1);
  first->SetUserInput(true);
  EXPECT_TRUE(first->GetUserInput());
  first->SetTransparent(true);
  EXPECT_TRUE(frame->Transparent());
  first->SetTransparentColorIndex(9);  // beyond the 4-entry table
  EXPECT_EQ(first->GetTransparentColorIndex(), 0);
  EXPECT_TRUE(warnings.Has(texts::InvalidColorIndex));
  first->SetTransparentColor(0x00FF00);
  EXPECT_EQ(first->GetTransparentColorIndex(), 3);

  // Deleting the other one leaves the frame's transparency alone.
  second->SetTransparent(true);
  frame->Extensions().Delete(1);
  EXPECT_TRUE(frame->Transparent());
  frame->Extensions().Delete(0);
  EXPECT_FALSE(frame->Transparent());
  EXPECT_EQ(frame->GraphicControlExtension(), nullptr);

  // An extension destroyed by its owner leaves its list.
  auto* comment = new TGIFCommentExtension(frame);
  frame->Extensions().Add(comment);
  delete comment;
  EXPECT_EQ(frame->Extensions().GetCount(), 0);
}

TEST(GIFExtensions, DamagedBlocksGiveTheirTexts) {
  const struct {
    const char* name;
    Bytes extensions;
    const char* error;    // the load fails with this text
    const char* warning;  // or succeeds with this warning
  } cases[] = {
      {"loop id 1 of size 2", Cat({Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{2, 1, 0, 0}}), texts::InvalidData, nullptr},
      {"loop id 2 of size 4", Cat({Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{4, 2, 0, 0, 0, 0}}), texts::InvalidData, nullptr},
      {"loop other id skipped", Cat({Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{2, 5, 9, 3, 1, 4, 0, 0}}), nullptr, nullptr},
      {"application size 9", Cat({Bytes{0x21, 0xFF, 9}, Text("ABCDEFGHI"), Bytes{0}}), texts::UnsupportedAppExtensionSize, nullptr},
      {"unknown label", Bytes{0x21, 0xF8, 1, 0, 0}, nullptr, texts::UnknownExtension},
      {"short graphic control", Bytes{0x21, 0xF9, 4, 0}, nullptr, texts::PrematureEnd},
      {"comment cut short", Bytes{0x21, 0xFE, 50, 'a'}, texts::PrematureEnd, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = Cat({Header(2, 1, {0x000000, 0xFFFFFF}), c.extensions});
    if (!c.error && !c.warning) file = WithExtensions(c.extensions);
    TGIFImage image;
    Warnings warnings;
    warnings.Attach(image);
    if (c.error) {
      try {
        image.LoadFromMemory(file);
        ADD_FAILURE() << "loaded";
      } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), c.error);
      }
    } else {
      EXPECT_NO_THROW(image.LoadFromMemory(file));
      if (c.warning) {
        EXPECT_TRUE(warnings.Has(c.warning));
      }
    }
  }
}

TEST(GIFExtensions, GraphicControlOfAnotherBlockSizeKeepsItsFields) {
  // Packed 0x09: transparent, disposal 2; delay 300; transparent index 3.
  const struct {
    const char* name;
    Bytes block;
  } cases[] = {
      {"size 5", Bytes{0x21, 0xF9, 5, 0x09, 0x2C, 0x01, 3, 0x77, 0}},
      {"size 6 and a stray sub-block", Bytes{0x21, 0xF9, 6, 0x09, 0x2C, 0x01, 3, 0x2C, 0x3B, 2, 0x21, 0x2C, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    image.LoadFromMemory(WithExtensions(c.block));
    ASSERT_EQ(image.Images().GetCount(), 1);
    TGIFSubImage* frame = image.Images().GetFrame(0);
    ASSERT_EQ(frame->Extensions().GetCount(), 1);
    const TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
    ASSERT_NE(gce, nullptr);
    EXPECT_EQ(gce->GetDelay(), 300);
    EXPECT_EQ(gce->GetDisposal(), 2);
    EXPECT_TRUE(frame->Transparent());
    EXPECT_EQ(gce->GetTransparentColorIndex(), 3);
    EXPECT_EQ(frame->GetPixel(1, 0), 2);
    // Written back as the usual block of 4.
    const Bytes saved = image.SaveToMemory();
    EXPECT_EQ(Bytes(saved.begin() + kHeaderSize, saved.begin() + kHeaderSize + 8),
              (Bytes{0x21, 0xF9, 4, 0x09, 0x2C, 0x01, 3, 0}));
  }
}

TEST(GIFExtensions, AnUneditedRoundTripKeepsCommentsAndLoopBlocks) {
  const std::string comment("made\0by\0hand", 12);
  const Bytes loop = Cat({Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{3, 1, 4, 0}, Bytes{5, 2, 0, 1, 0, 0},
                          Bytes{4, 7, 'x', 'y', 'z'}, Bytes{0}});
  const Bytes file = WithExtensions(Cat({loop, Comment(comment), GraphicControl(0x08, 25, 0)}));
  TGIFImage image;
  image.LoadFromMemory(file);
  TGIFImage again;
  again.LoadFromMemory(image.SaveToMemory());
  ExpectSameBlocks(image.SaveToMemory(), file, loop.size() + comment.size() + 4 + 8);
  TGIFExtensionList& list = again.Images().GetFrame(0)->Extensions();
  ASSERT_EQ(list.GetCount(), 3);
  auto* nsloop = dynamic_cast<TGIFAppExtNSLoop*>(list.GetExtension(0));
  ASSERT_NE(nsloop, nullptr);
  EXPECT_EQ(nsloop->GetLoops(), 4);
  EXPECT_EQ(nsloop->GetBufferSize(), 256u);
  ASSERT_EQ(nsloop->OtherBlocks().size(), 1u);
  EXPECT_EQ(nsloop->OtherBlocks()[0].Data, (Bytes{7, 'x', 'y', 'z'}));
  auto* text = dynamic_cast<TGIFCommentExtension*>(list.GetExtension(1));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Text(), TStrings{comment});
  EXPECT_EQ(again.Images().GetFrame(0)->GraphicControlExtension()->GetDelay(), 25);
  EXPECT_EQ(again.Images().GetFrame(0)->GraphicControlExtension()->GetDisposal(), 2);
}

TEST(GIFExtensions, LoopEndingInsideItsDataIsPrematureEnd) {
  const Bytes file = Cat({Header(2, 1, {0x000000, 0xFFFFFF}), Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{3, 1}});
  TGIFImage image;
  try {
    image.LoadFromMemory(file);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), texts::PrematureEnd);
  }
}

TEST(GIFExtensions, ExtensionsAfterTheLastImageSurvive) {
  const Bytes file = Cat({Header(2, 1, {0x000000, 0xFFFFFF}), Image(0, 0, 2, 1, {0, 1}), Comment("tail"), Bytes{0x3B}});
  TGIFImage image;
  image.LoadFromMemory(file);
  ASSERT_EQ(image.Images().GetCount(), 2);
  EXPECT_TRUE(image.Images().GetFrame(1)->IsEmpty());
  const Bytes saved = image.SaveToMemory();
  const Bytes tail = Cat({Comment("tail"), Bytes{0x3B}});
  ASSERT_GT(saved.size(), tail.size());
  EXPECT_EQ(Bytes(saved.end() - static_cast<std::ptrdiff_t>(tail.size()), saved.end()), tail);
}

TEST(GIFExtensions, NewLoopExtensionWritesTheUsualBlock) {
  TGIFImage image;
  image.LoadFromMemory(WithExtensions({}));
  auto* loop = new TGIFAppExtNSLoop(image.Images().GetFrame(0));
  loop->SetLoops(2);
  image.Images().GetFrame(0)->Extensions().Add(loop);
  ExpectSameBlocks(image.SaveToMemory(), WithExtensions(Loop(2)), Loop(2).size());
}

}  // namespace
