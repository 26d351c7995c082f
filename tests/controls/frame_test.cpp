#include "controls/ptframe.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QVBoxLayout>

namespace mc = movinta::controls;

namespace {

// A palette whose frame colours are told apart at a glance.
QPalette FramePalette() {
  QPalette pal;
  pal.setColor(QPalette::Dark, QColor(0x10, 0x10, 0x10));
  pal.setColor(QPalette::Light, QColor(0xF0, 0xF0, 0xF0));
  pal.setColor(QPalette::Button, QColor(0x80, 0x80, 0x80));
  pal.setColor(QPalette::Shadow, QColor(0x01, 0x01, 0x01));
  pal.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
  return pal;
}

TEST(FrameInsets, FollowTheStyle) {
  struct Case {
    TPTFrameStyle style;
    int captionHeight;
    QMargins inset;
  };
  const Case cases[] = {
      {ptfsNone, 13, {0, 0, 0, 0}},     {ptfsGroup, 0, {2, 2, 2, 2}},     {ptfsGroup, 13, {2, 13, 2, 2}},
      {ptfsLowered, 13, {2, 2, 2, 2}},  {ptfsRaised, 0, {2, 2, 2, 2}},    {ptfsDint, 0, {1, 1, 1, 1}},
      {ptfsBump, 0, {1, 1, 1, 1}},      {ptfsSingle, 0, {1, 1, 1, 1}},    {ptfsHorzLine, 0, {0, 2, 0, 0}},
      {ptfsHorzEdge, 0, {0, 2, 0, 2}},  {ptfsVertLine, 0, {2, 0, 0, 0}},  {ptfsVertEdge, 0, {2, 0, 2, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(mc::PTFrameInsets(c.style, c.captionHeight), c.inset) << c.style;
}

TEST(FrameDrawing, PutsEachStylesLinesOnItsEdges) {
  const QPalette pal = FramePalette();
  const QColor dark = pal.color(QPalette::Dark), light = pal.color(QPalette::Light),
               face = pal.color(QPalette::Button), shadow = pal.color(QPalette::Shadow),
               frame = pal.color(QPalette::WindowText), none(Qt::white);
  struct Probe {
    int x, y;
    QColor color;
  };
  struct Case {
    TPTFrameStyle style;
    std::vector<Probe> probes;  // on a 20x12 area
  };
  const std::vector<Case> cases = {
      {ptfsNone, {{0, 0, none}, {19, 11, none}}},
      {ptfsLowered, {{9, 0, dark}, {0, 5, dark}, {9, 1, shadow}, {1, 5, shadow}, {9, 10, face}, {18, 5, face},
                     {9, 11, light}, {19, 5, light}, {9, 5, none}}},
      {ptfsRaised, {{9, 0, light}, {9, 1, face}, {9, 10, dark}, {9, 11, shadow}, {19, 5, shadow}, {2, 2, none}}},
      {ptfsDint, {{9, 0, dark}, {0, 5, dark}, {9, 11, light}, {19, 5, light}, {1, 1, none}}},
      {ptfsBump, {{9, 0, light}, {9, 11, dark}, {1, 1, none}}},
      {ptfsSingle, {{0, 0, frame}, {19, 0, frame}, {0, 11, frame}, {19, 11, frame}, {1, 1, none}}},
      {ptfsHorzLine, {{9, 0, dark}, {9, 1, light}, {9, 2, none}, {9, 11, none}}},
      {ptfsHorzEdge, {{9, 0, dark}, {9, 1, light}, {9, 10, dark}, {9, 11, light}, {9, 5, none}}},
      {ptfsVertLine, {{0, 5, dark}, {1, 5, light}, {2, 5, none}, {19, 5, none}}},
      {ptfsVertEdge, {{0, 5, dark}, {1, 5, light}, {18, 5, dark}, {19, 5, light}, {9, 5, none}}},
      // The etched group box without a caption starts at 2 / 2 - 1 = 0.
      {ptfsGroup, {{9, 0, dark}, {9, 1, light}, {18, 5, dark}, {19, 5, light}, {9, 11, light}, {5, 5, face}}},
  };
  for (const Case& c : cases) {
    QImage image(20, 12, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter p(&image);
      mc::PTDrawFrame(p, image.rect(), c.style, pal, face, QString(), true);
    }
    for (const Probe& probe : c.probes)
      EXPECT_EQ(image.pixelColor(probe.x, probe.y), probe.color)
          << "style " << c.style << " at " << probe.x << "," << probe.y;
  }
}

// The rows of an image holding a colour.
int CountPixels(const QImage& image, const QRect& area, const QColor& color) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += image.pixelColor(x, y) == color;
  return n;
}

TEST(FrameGroup, PlacesChildrenInsideItsFrameAndFollowsStyleChanges) {
  TPTGroup group;
  group.resize(120, 80);
  auto* layout = new QVBoxLayout(&group);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* child = new QWidget;
  layout->addWidget(child);
  group.show();

  EXPECT_EQ(child->geometry(), QRect(2, 2, 116, 76));
  group.SetCaption("Options");
  const int captionHeight = group.fontMetrics().height();
  layout->activate();
  EXPECT_EQ(child->geometry(), QRect(2, captionHeight, 116, 78 - captionHeight));
  group.SetFrameStyle(ptfsHorzLine);
  layout->activate();
  EXPECT_EQ(child->geometry(), QRect(0, 2, 120, 78));
  group.SetBorderWidth(3);
  layout->activate();
  EXPECT_EQ(child->geometry(), QRect(3, 5, 114, 72));
}

TEST(FrameGroup, DisablingGivesChildrenTheSameStateAndEmbossesTheCaption) {
  TPTGroup group;
  group.setPalette(FramePalette());
  group.SetCaption("WWWW");
  group.resize(120, 60);
  auto* child = new QWidget(&group);
  child->setEnabled(false);
  group.show();

  group.setEnabled(false);
  EXPECT_FALSE(child->isEnabled());
  const QImage disabled = group.grab().toImage();
  group.setEnabled(true);
  EXPECT_TRUE(child->isEnabled());
  const QImage enabled = group.grab().toImage();

  const QRect caption(8, 0, 60, group.fontMetrics().height());
  const QColor light = FramePalette().color(QPalette::Light);
  // The highlight copy of the text appears only when disabled.
  EXPECT_GT(CountPixels(disabled, caption.adjusted(0, 2, 0, 0), light),
            CountPixels(enabled, caption.adjusted(0, 2, 0, 0), light));
  EXPECT_GT(CountPixels(enabled, caption, FramePalette().color(QPalette::WindowText)), 0);
}

TEST(FrameCaption, SitsWhereAlignmentAndFrameSpacePutIt) {
  struct Case {
    Qt::Alignment alignment;
    int frameSpace;
    int minLeft, maxLeft;  // first column holding text
  };
  const Case cases[] = {{Qt::AlignLeft, 0, 0, 2}, {Qt::AlignLeft, 12, 12, 14}, {Qt::AlignRight, 0, 100, 199}};
  for (const Case& c : cases) {
    TPTFrame frame;
    frame.SetFrameStyle(ptfsNone);
    frame.SetColor(Qt::white);
    frame.SetFrameSpace(c.frameSpace);
    frame.SetAlignment(c.alignment);
    frame.SetCaption("HIH");
    QPalette pal = frame.palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    frame.setPalette(pal);
    frame.resize(200, 30);
    const QImage image = frame.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int first = -1;
    for (int x = 0; x < image.width() && first < 0; ++x)
      for (int y = 0; y < image.height(); ++y)
        if (qGray(image.pixel(x, y)) < 128) {
          first = x;
          break;
        }
    EXPECT_GE(first, c.minLeft) << c.frameSpace;
    EXPECT_LE(first, c.maxLeft) << c.frameSpace;
  }
}

}  // namespace
