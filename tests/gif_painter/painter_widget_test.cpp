// The widget plays an animation on the GUI thread and shows what the painter drew.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <thread>

#include "gif/qt/painter_widget.h"
#include "tests/gif_opt/animation_builder.h"

namespace {

using namespace giftest;

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

TEST(PainterWidgetTest, PlaysOnTheGUIThreadAndStopsFromItsOwnEvent) {
  static int argc = 1;
  static char name[] = "gif_painter_widget_tests";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  TGIFImage image;
  MakeScreen(image, 3, 2, {0x0000FF, 0x00FF00});
  for (int i = 0; i < 3; ++i) AddFrame(image, {0, 0, 3, 2, std::vector<std::uint8_t>(6, std::uint8_t(i % 2)), {}, true, 3, 1, -1});
  gif::qt::GIFPainterWidget widget;
  widget.SetImage(&image);
  std::vector<int> frames;
  const auto gui = std::this_thread::get_id();
  bool elsewhere = false;
  QObject::connect(&widget, &gif::qt::GIFPainterWidget::afterFrame, [&](int frame) {
    frames.push_back(frame);
    elsewhere |= std::this_thread::get_id() != gui;
  });
  int ended = 0;
  QObject::connect(&widget, &gif::qt::GIFPainterWidget::endPlay, [&] { ++ended; });
  widget.Play(goAsync | goAnimate | goTransparent);
  ASSERT_TRUE(WaitFor([&] { return ended == 1; }));
  EXPECT_EQ(frames, (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(elsewhere);
  EXPECT_EQ(widget.Canvas().PixelColor(2, 1), 0x0000FFu);
  EXPECT_TRUE(WaitFor([&] { return !widget.IsPlaying(); }));

  // Endless play, stopped by the GUI from inside an event.
  frames.clear();
  QObject::connect(&widget, &gif::qt::GIFPainterWidget::afterFrame, [&](int frame) {
    if (frame == 4 || frames.size() == 5) widget.Stop();
  });
  widget.Play(goAsync | goAnimate | goLoop | goLoopContinously);
  ASSERT_TRUE(WaitFor([&] { return !widget.IsPlaying(); }));
  EXPECT_GE(frames.size(), 5u);
  EXPECT_TRUE(WaitForPainterThreads(std::chrono::milliseconds(1000)));
}

}  // namespace
