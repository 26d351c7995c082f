// The "GIF Image" clipboard format through Qt's clipboard.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include "gif/qt/clipboard.h"
#include "tests/gif/fixture.h"

using namespace gif;
using namespace giftest;

namespace {

Bytes Animation() {
  return Cat({Header(3, 2, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}), GraphicControl(0x04, 10, 0),
              Image(0, 0, 3, 2, {1, 2, 3, 0, 1, 2}), GraphicControl(0x09, 20, 1), Image(1, 1, 2, 1, {3, 1}),
              Bytes{0x3B}});
}

QGuiApplication& App() {
  static int argc = 1;
  static char name[] = "gif_clipboard_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(argc, argv);
  return app;
}

TEST(GIFClipboard, CopyAndPasteGiveTheSameAnimation) {
  App();
  TGIFImage image;
  image.LoadFromMemory(Animation());
  qt::SaveToClipboard(image, *QGuiApplication::clipboard());
  ASSERT_TRUE(qt::ClipboardHasGIF(*QGuiApplication::clipboard()));
  EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasImage());
  TGIFImage pasted;
  qt::LoadFromClipboard(pasted, *QGuiApplication::clipboard());
  EXPECT_EQ(pasted.SaveToMemory(), image.SaveToMemory());
  EXPECT_EQ(qt::GIFImageMimeType(), QString("GIF Image"));
}

TEST(GIFClipboard, PastesPicturesAndRefusesOtherData) {
  App();
  QMimeData picture;
  QImage red(2, 1, QImage::Format_RGB32);
  red.fill(Qt::red);
  picture.setImageData(red);
  TGIFImage image;
  qt::LoadFromMimeData(image, picture);
  ASSERT_EQ(image.Images().GetCount(), 1);
  TGIFSubImage* frame = image.Images().GetFrame(0);
  EXPECT_EQ(frame->GetActiveColorMap().GetColor(frame->GetPixel(1, 0)), 0x0000FFu);

  QMimeData text;
  text.setText("hello");
  try {
    qt::LoadFromMimeData(image, text);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), texts::UnsupportedClipboardFormat);
  }
  EXPECT_EQ(image.Images().GetCount(), 1);
  TGIFImage empty;
  EXPECT_EQ(qt::SaveToMimeData(empty), nullptr);
}

}  // namespace
