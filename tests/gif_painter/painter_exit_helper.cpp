// A program whose animation lives in static storage until the program ends, as the editor's working
// image does. Run by the painter tests with "stopped" (the image was handled by the painter library,
// nothing plays at exit) or "playing" (a painter still plays it when main returns); either way it has
// to end by itself with code 0.
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "gif/painter/painter.h"
#include "tests/gif_opt/animation_builder.h"

namespace {

using namespace giftest;

// The painter's GUI work runs on the painter's own thread: this program has no event loop.
class InlineDispatcher final : public TGIFDispatcher {
public:
  void Post(std::function<void()> task) override { task(); }
};

// Made before main, so torn down after everything the library makes on first use. The canvas and the
// dispatcher go after the image that a painter draws from.
InlineDispatcher dispatcher;
Bitmap canvas(2, 2, PixelFormat::pf32bit);
TGIFImage image;
std::atomic<bool> drawn{false};

}  // namespace

int main(int argc, char** argv) {
  const bool playing = argc > 1 && std::strcmp(argv[1], "playing") == 0;
  MakeScreen(image, 2, 2, {0x0000FF, 0x00FF00});
  for (std::uint8_t i = 0; i < 2; ++i) AddFrame(image, {0, 0, 2, 2, std::vector<std::uint8_t>(4, i), {}, true, 10, 1, -1});
  if (!playing) {
    // What an optimisation of the image does first.
    StopAllPainters(image);
    return 0;
  }
  // At speed 0 the painter shows frame 0 and then waits until it is stopped.
  image.AnimationSpeed = 0;
  TGIFPlayEvents events;
  events.OnAfterFrame = [](TGIFPainter&) { drawn = true; };
  if (!Paint(image, canvas, {0, 0, 2, 2}, goAsync | goAnimate | goLoop, events, &dispatcher)) return 2;
  while (!drawn) std::this_thread::yield();
  return 0;
}
