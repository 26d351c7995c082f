#include "controls/xpress.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A 5x3 picture with a different colour in every pixel.
QImage Pattern() {
  QImage image(5, 3, QImage::Format_ARGB32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) image.setPixel(x, y, qRgb(x * 60, y * 120, 200 - x * 10 - y));
  return image;
}

TEST(Xpress, LoadsMeasuresResizesAndHandsOutPixels) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* format : {"png", "bmp", "tif"}) {
    SCOPED_TRACE(format);
    const QString file = dir.filePath(QString("pattern.") + format);
    if (!Pattern().save(file, format)) continue;  // no writer for it in this Qt
    TXpress xpress;
    xpress.SetFileName(file);
    ASSERT_EQ(xpress.GetErrorCode(), 0);
    EXPECT_EQ(xpress.FileName(), file);
    EXPECT_EQ(xpress.GetImageWidth(), 5);
    EXPECT_EQ(xpress.GetImageHeight(), 3);
    EXPECT_EQ(xpress.GetImageWidthLong(), 5);
    EXPECT_EQ(xpress.GetImageHeightLong(), 3);
    EXPECT_EQ(xpress.CopyImage(), Pattern());

    const QByteArray dib = xpress.CopyDIB();
    ASSERT_EQ(dib.size(), 40 + 5 * 3 * 4);
    const uchar* bottomLeft = reinterpret_cast<const uchar*>(dib.constData()) + 40;
    EXPECT_EQ(qRgb(bottomLeft[2], bottomLeft[1], bottomLeft[0]), Pattern().pixel(0, 2));

    xpress.ResizeImage(10, 6);
    EXPECT_EQ(xpress.GetErrorCode(), 0);
    EXPECT_EQ(xpress.CopyImage().size(), QSize(10, 6));
    xpress.ClearImage(0);
    EXPECT_EQ(xpress.GetImageWidth(), 0);
    EXPECT_TRUE(xpress.CopyImage().isNull());
    EXPECT_TRUE(xpress.CopyDIB().isEmpty());
  }
}

TEST(Xpress, FailedLoadsGiveAnErrorAndNoImage) {
  QTemporaryDir dir;
  const QString good = dir.filePath("good.png"), corrupt = dir.filePath("corrupt.png");
  ASSERT_TRUE(Pattern().save(good));
  QFile f(corrupt);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray("\x89PNG\r\n\x1a\n garbage follows", 24));
  f.close();
  for (const QString& bad : {dir.filePath("missing.png"), corrupt, dir.filePath("x.unknown")}) {
    TXpress xpress;
    xpress.SetFileName(good);
    ASSERT_EQ(xpress.GetErrorCode(), 0);
    xpress.SetFileName(bad);
    EXPECT_NE(xpress.GetErrorCode(), 0) << bad.toStdString();
    EXPECT_EQ(xpress.GetImageWidthLong(), 0);
    EXPECT_TRUE(xpress.CopyImage().isNull());
    xpress.ResizeImage(4, 4);
    EXPECT_NE(xpress.GetErrorCode(), 0);
  }
  EXPECT_TRUE(TXpress::CanReadExtension(".PNG"));
  EXPECT_FALSE(TXpress::CanReadExtension("avi"));
}

TEST(Xpress, AutoSizedPanelFollowsTheImageAndShowsIt) {
  QTemporaryDir dir;
  const QString file = dir.filePath("pattern.png");
  ASSERT_TRUE(Pattern().save(file));
  TXpress xpress;
  xpress.resize(40, 40);
  xpress.SetFileName(file);
  EXPECT_EQ(xpress.size(), QSize(40, 40));
  xpress.SetAutoSize(true);
  EXPECT_EQ(xpress.size(), QSize(5, 3));
  EXPECT_EQ(xpress.grab().toImage().convertToFormat(QImage::Format_ARGB32), Pattern());
  xpress.ResizeImage(20, 12);
  EXPECT_EQ(xpress.size(), QSize(20, 12));
}

TEST(Xpress, DeliversClicksAndSwallowsUnhandledEvents) {
  TXpress xpress;
  xpress.resize(30, 30);
  xpress.show();
  QTest::mouseClick(&xpress, Qt::LeftButton);  // nothing connected yet
  QSignalSpy clicks(&xpress, &TXpress::OnClick);
  QSignalSpy downs(&xpress, &TXpress::OnMouseDown);
  QTest::mouseClick(&xpress, Qt::RightButton, Qt::ShiftModifier, QPoint(4, 7));
  EXPECT_EQ(clicks.count(), 1);
  ASSERT_EQ(downs.count(), 1);
  EXPECT_EQ(downs.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
  EXPECT_EQ(downs.at(0).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
  EXPECT_EQ(downs.at(0).at(2).toInt(), 4);
  EXPECT_EQ(downs.at(0).at(3).toInt(), 7);
}

}  // namespace
