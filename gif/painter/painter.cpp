// The playback painter: timing on its own thread, every touch of the image and
// the canvas on the GUI thread.
#include "gif/painter/painter.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <thread>

namespace gif {

namespace {

class SystemClock final : public TGIFPlaybackClock {
public:
  std::uint32_t Now() override {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void Sleep(int milliseconds) override {
    if (milliseconds <= 0)
      std::this_thread::yield();
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

// The painter threads of the program. Like everything below that a painter or an image reaches, it
// is made on first use and never destroyed: images in static storage are destroyed at exit in an
// order nobody controls, and a painter thread may still be ending then.
struct LiveThreads {
  std::mutex lock;
  std::condition_variable changed;
  int count = 0;
};

LiveThreads& Threads() {
  static LiveThreads* threads = new LiveThreads;
  return *threads;
}

// Windows' MulDiv: rounds to nearest; false when the result does not fit.
bool CheckedMulDiv(long long number, long long numerator, long long denominator, int& result) {
  if (denominator == 0) return false;
  const long long product = number * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  const long long d = denominator < 0 ? -denominator : denominator;
  const long long magnitude = ((product < 0 ? -product : product) + d / 2) / d;
  const long long value = negative ? -magnitude : magnitude;
  if (value > 0x7FFFFFFF || value < -0x7FFFFFFF) return false;
  result = static_cast<int>(value);
  return true;
}

bool IsTrueColour(const Bitmap& b) { return b.Format() == PixelFormat::pf24bit || b.Format() == PixelFormat::pf32bit; }

// Copies a w x h block between two bitmaps of one format, clipped to both.
void CopyBlock(const Bitmap& from, int sx, int sy, Bitmap& to, int dx, int dy, int w, int h) {
  if (from.Format() != to.Format()) return;
  const int bpp = from.BitsPerPixel() / 8;
  if (sx < 0) { dx -= sx; w += sx; sx = 0; }
  if (sy < 0) { dy -= sy; h += sy; sy = 0; }
  if (dx < 0) { sx -= dx; w += dx; dx = 0; }
  if (dy < 0) { sy -= dy; h += dy; dy = 0; }
  w = std::min({w, from.Width() - sx, to.Width() - dx});
  h = std::min({h, from.Height() - sy, to.Height() - dy});
  if (w <= 0 || h <= 0) return;
  for (int y = 0; y < h; ++y)
    std::memcpy(to.Scanline(dy + y) + std::size_t(dx) * bpp, from.Scanline(sy + y) + std::size_t(sx) * bpp,
                std::size_t(w) * bpp);
}

void FillBlock(Bitmap& to, const TRect& r, TColor colour) {
  const int bpp = to.BitsPerPixel() / 8;
  const int x0 = std::max(0, r.Left), x1 = std::min(to.Width(), r.Right);
  const int y0 = std::max(0, r.Top), y1 = std::min(to.Height(), r.Bottom);
  for (int y = y0; y < y1; ++y) {
    std::uint8_t* p = to.Scanline(y) + std::size_t(x0) * bpp;
    for (int x = x0; x < x1; ++x, p += bpp) {
      p[0] = std::uint8_t(colour >> 16);
      p[1] = std::uint8_t(colour >> 8);
      p[2] = std::uint8_t(colour);
      if (bpp == 4) p[3] = 255;
    }
  }
}

}  // namespace

TGIFPlaybackClock& TGIFPlaybackClock::System() {
  static SystemClock* clock = new SystemClock;
  return *clock;
}

// ---------------------------------------------------------------------------
// The painter list

namespace {
struct Registry {
  std::mutex lock;
  std::map<const TGIFImage*, std::unique_ptr<TGIFPainterList>> lists;
};

Registry& Lists() {
  static Registry* registry = new Registry;
  return *registry;
}

// Images that were never painted have no list, and asking must not make one:
// every image asks when it is cleared or destroyed.
TGIFPainterList* FindList(const TGIFImage& image) {
  Registry& registry = Lists();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.lists.find(&image);
  return it == registry.lists.end() ? nullptr : it->second.get();
}

// Stops the painters of an image before it frees its frames, and detaches any that do not end
// in time, so that none touches the image afterwards.
class PaintersStopper : public TGIFImage::TFramesObserver {
public:
  void FramesGoing(TGIFImage& image) noexcept override {
    try {
      if (FindList(image)) StopAllPainters(image);
    } catch (...) {
      // Nothing better to do on the way out: the painters were told to stop
      // before anything could fail, and a painter never outlives its list.
    }
  }
};

// Every painted image shares the one stopper.
const std::shared_ptr<TGIFImage::TFramesObserver>& Stopper() {
  static const std::shared_ptr<TGIFImage::TFramesObserver> stopper = std::make_shared<PaintersStopper>();
  return stopper;
}
}  // namespace

TGIFPainterList& TGIFPainterList::Of(const TGIFImage& image) {
  Registry& registry = Lists();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto& slot = registry.lists[&image];
  if (!slot) slot = std::make_unique<TGIFPainterList>();
  return *slot;
}

std::vector<TGIFPainter*> TGIFPainterList::Painters() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return painters_;
}

int TGIFPainterList::Count() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return static_cast<int>(painters_.size());
}

void TGIFPainterList::Add(TGIFPainter* painter) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  painters_.push_back(painter);
}

void TGIFPainterList::Remove(TGIFPainter* painter) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  painters_.erase(std::remove(painters_.begin(), painters_.end(), painter), painters_.end());
  changed_.notify_all();
}

// ---------------------------------------------------------------------------
// Construction and the thread

struct TGIFPainter::Call {
  std::mutex lock;
  std::condition_variable finished;
  bool running = false, done = false, cancelled = false;
};

struct TGIFPainter::PlayState {
  int loopsLeft = 1;
  int loopStart = 0;
  bool loopSeen = false;
  int carried = 0;
  std::uint8_t previousDisposal = dmNoDisposal;
  std::uint32_t lastTime = 0;
  int lag = 0;
  bool endOfFrames = false;
};

TGIFPainter::TGIFPainter(TGIFPainter** callerSlot, std::uint16_t options, const TRect& rect, Bitmap& canvas,
                         TGIFImage& image, const TGIFPlayEvents& events, TGIFDispatcher* dispatcher,
                         TGIFPlaybackClock& clock)
    : image_(&image),
      list_(&TGIFPainterList::Of(image)),
      canvas_(&canvas),
      rect_(rect),
      speed_(image.AnimationSpeed),
      options_(options),
      callerSlot_(callerSlot),
      events_(events),
      dispatcher_(dispatcher),
      clock_(clock),
      canvasWidth_(canvas.Width()),
      canvasHeight_(canvas.Height()) {
  Prepare();
}

TGIFPainter::~TGIFPainter() = default;

void TGIFPainter::Prepare() {
  TGIFImage& image = *image_;
  if (!IsTrueColour(*canvas_)) GIFError(texts::UnsupportedPixelFormat);
  if (image.BackgroundColor != clNone)
    background_ = image.BackgroundColor;
  else if (image.GetGlobalColorMap().GetCount() == 0)
    background_ = 0xFFFFFF;  // the window colour of a plain desktop theme
  else
    background_ = image.Header().GetBackgroundColor();

  bool disposes[8] = {};
  for (int i = 0; i < image.Images().GetCount(); ++i)
    if (const TGIFGraphicControlExtension* gce = image.Images().GetFrame(i)->GraphicControlExtension())
      disposes[gce->GetDisposal()] = true;
  if (options_ & goClearOnLoop) disposes[dmBackground] = true;

  const int w = rect_.Width(), h = rect_.Height();
  auto underRect = [&] {
    Bitmap b(w, h, canvas_->Format());
    FillBlock(b, TRect{0, 0, w, h}, background_);
    CopyBlock(*canvas_, rect_.Left, rect_.Top, b, 0, 0, w, h);
    return b;
  };
  if (disposes[dmBackground] && (options_ & goTransparent)) {
    backgroundBitmap_ = underRect();
    hasBackground_ = true;
  }
  if (disposes[dmBackground] || disposes[dmPrevious]) {
    work_ = underRect();
    previousState_ = Bitmap(w, h, canvas_->Format());
    hasWork_ = true;
  }
}

void TGIFPainter::Start() {
  {
    std::lock_guard<std::mutex> guard(state_);
    if (started_ || !Asynchronous()) return;
    started_ = true;
  }
  {
    std::lock_guard<std::mutex> guard(Threads().lock);
    ++Threads().count;
  }
  std::thread([this] { ThreadBody(); }).detach();
}

void TGIFPainter::ThreadBody() {
  Execute();
  Done();
  delete this;
  LiveThreads& threads = Threads();
  std::lock_guard<std::mutex> guard(threads.lock);
  --threads.count;
  threads.changed.notify_all();
}

void TGIFPainter::Stop() {
  terminated_ = true;
  std::shared_ptr<Call> call;
  bool start = false;
  {
    std::lock_guard<std::mutex> guard(state_);
    woken_ = true;
    call = pending_;
    start = Asynchronous() && !started_;
  }
  wake_.notify_all();
  if (call) {
    std::lock_guard<std::mutex> guard(call->lock);
    call->finished.notify_all();
  }
  // A painter that never ran still has to end and free itself.
  if (start) Start();
}

void TGIFPainter::Restart() {
  restart_ = true;
  {
    std::lock_guard<std::mutex> guard(state_);
    woken_ = true;
  }
  wake_.notify_all();
}

void TGIFPainter::Done() {
  {
    std::lock_guard<std::recursive_mutex> guard(list_->lock_);
    if (callerSlot_ && *callerSlot_ == this) *callerSlot_ = nullptr;
    list_->Remove(this);
    image_ = nullptr;
  }
  work_ = Bitmap();
  previousState_ = Bitmap();
  backgroundBitmap_ = Bitmap();
}

// ---------------------------------------------------------------------------
// Reaching the GUI thread

void TGIFPainter::ReportError(const std::string& message) {
  terminated_ = true;
  if (image_) image_->Warning(this, GIFSeverityWarning, message);
}

void TGIFPainter::Guarded(const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& e) {
    ReportError(e.what());
  } catch (...) {
    ReportError(texts::InvalidData);
  }
}

bool TGIFPainter::OnGUI(const std::function<void()>& work) {
  if (terminated_) return false;
  if (!Asynchronous() || !dispatcher_) {
    Guarded(work);
    return true;
  }
  auto call = std::make_shared<Call>();
  {
    std::lock_guard<std::mutex> guard(state_);
    pending_ = call;
  }
  dispatcher_->Post([this, call, &work] {
    {
      std::lock_guard<std::mutex> guard(call->lock);
      if (call->cancelled) return;  // the painter may be gone: touch nothing
      call->running = true;
    }
    guiThread_ = std::this_thread::get_id();
    guiBusy_ = true;
    Guarded(work);
    guiBusy_ = false;
    {
      std::lock_guard<std::mutex> guard(call->lock);
      call->done = true;
    }
    call->finished.notify_all();
  });
  bool ran;
  {
    std::unique_lock<std::mutex> lock(call->lock);
    call->finished.wait(lock, [&] { return call->done || (terminated_ && !call->running); });
    ran = call->done;
    if (!ran) call->cancelled = true;
  }
  std::lock_guard<std::mutex> guard(state_);
  pending_.reset();
  return ran;
}

void TGIFPainter::Fire(const TGIFPlayEvent& event) {
  if (!event) return;
  OnGUI([&] {
    if (!terminated_) event(*this);
  });
}

// ---------------------------------------------------------------------------
// Playback

void TGIFPainter::Execute() {
  restart_ = true;
  while (restart_ && !terminated_) {
    activeImage_ = 0;
    Fire(events_.OnBeginPlay);
    firstFrameDrawn_ = false;
    restart_ = false;
    PlayState play;
    play.carried = Asynchronous() ? 0 : 1;
    play.lastTime = clock_.Now();
    while ((play.loopsLeft != 0 || (options_ & goLoopContinously)) && !Stopping()) {
      activeImage_ = play.loopStart;
      if (firstFrameDrawn_) Fire(events_.OnLoopRestart);
      FrameLoop(play);
      if (play.loopsLeft > 0) --play.loopsLeft;
      if (!((options_ & goAnimate) && (options_ & goLoop))) break;
    }
    activeImage_ = -1;
    Fire(events_.OnEndPlay);
  }
}

void TGIFPainter::FrameLoop(PlayState& play) {
  do {
    if (Stopping()) return;
    // Is there a frame to play? Rendering it now lets its cost count against
    // the delay that runs before it is shown.
    play.endOfFrames = true;
    const bool ok = OnGUI([&] {
      if (!image_ || activeImage_ < 0 || activeImage_ >= image_->Images().GetCount()) return;
      TGIFSubImage* frame = image_->Images().GetFrame(activeImage_);
      if (frame->IsEmpty()) return;
      play.endOfFrames = false;
      if (play.carried >= 1) frame->GetBitmap();
    });
    if (!ok || play.endOfFrames) return;
    WaitCarried(play);
    if (Stopping()) return;
    PlayFrame(play);
  } while (options_ & goAnimate);
}

void TGIFPainter::WaitCarried(PlayState& play) {
  if (play.carried < 1) {
    clock_.Sleep(0);
    return;
  }
  int wait;
  if (speed_ < 1) {
    wait = Asynchronous() ? -1 : MaximumSyncFrameDelay * MillisecondsPerDelayUnit;
  } else {
    const int elapsed = static_cast<int>(clock_.Now() - (play.lastTime + static_cast<std::uint32_t>(play.lag)));
    const long long wanted = static_cast<long long>(play.carried) * MillisecondsPerDelayUnit - elapsed / 2;
    if (CheckedMulDiv(wanted, 100, speed_, wait)) {
      play.lag = wait;
    } else {
      wait = MaximumSyncFrameDelay * MillisecondsPerDelayUnit;
      play.lag = 0;
    }
  }
  play.lastTime = clock_.Now();

  if (Asynchronous()) {
    if (wait <= 0 && speed_ > 0) return;
    auto block = [this](int ms) {
      std::unique_lock<std::mutex> lock(state_);
      bool woken;
      if (ms < 0) {
        wake_.wait(lock, [&] { return woken_; });
        woken = true;
      } else {
        woken = wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return woken_; });
      }
      if (woken) woken_ = false;
      return woken;
    };
    if (clock_.WaitForWake(wait, block)) {
      play.lag = 0;
      play.lastTime = clock_.Now();
    }
    return;
  }
  int remaining = std::max(wait, 1);
  while (remaining > 0 && !Stopping()) {
    const std::uint32_t before = clock_.Now();
    clock_.Sleep(std::min(remaining, 100));
    remaining -= static_cast<int>(clock_.Now() - before);
    if (dispatcher_ && !dispatcher_->ProcessEvents()) terminated_ = true;
  }
}

void TGIFPainter::PlayFrame(PlayState& play) {
  OnGUI([&] {
    if (events_.OnBeforeFrame) {
      events_.OnBeforeFrame(*this);
      if (Stopping()) return;
    }
    if (!image_ || activeImage_ < 0 || activeImage_ >= image_->Images().GetCount()) return;
    const int index = activeImage_;
    TGIFSubImage& frame = *image_->Images().GetFrame(index);

    std::uint8_t disposal = dmNoDisposal;
    for (int i = 0; i < frame.Extensions().GetCount(); ++i) {
      TGIFExtension* extension = frame.Extensions().GetExtension(i);
      if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(extension); loop && !play.loopSeen) {
        play.loopSeen = true;
        const int count = loop->GetLoops();
        play.loopsLeft = count >= 1 && count <= 65534 ? count + 1 : count;
        if ((play.loopsLeft == 0 || (options_ & goLoopContinously)) && Asynchronous()) play.loopsLeft = -1;
        play.loopStart = index;
      } else if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(extension)) {
        disposal = gce->GetDisposal();
      }
    }

    if ((options_ & goValidateCanvas) && (canvas_->Width() != canvasWidth_ || canvas_->Height() != canvasHeight_)) {
      terminated_ = true;  // the target is gone
      return;
    }
    if (hasWork_)
      DrawFrame(frame, disposal, play.previousDisposal);
    else
      frame.Draw(*canvas_, rect_, (options_ & goTransparent) != 0, (options_ & goTile) != 0);
    firstFrameDrawn_ = true;
    if (terminated_) return;
    if (events_.OnCanvasChanged) events_.OnCanvasChanged(*this);
    if (terminated_) return;
    play.previousDisposal = disposal;

    play.carried = DefaultFrameDelay;
    if (const TGIFGraphicControlExtension* gce = frame.GraphicControlExtension(); gce && gce->GetDelay() > 0) {
      play.carried = std::max<int>(gce->GetDelay(), MinimumFrameDelay);
      if (!Asynchronous()) play.carried = std::min(play.carried, MaximumSyncFrameDelay);
    }
    if (events_.OnAfterFrame) {
      events_.OnAfterFrame(*this);
      if (terminated_) return;
    }
    if (activeImage_ == index) ++activeImage_;
  });
}

// ---------------------------------------------------------------------------
// Composing off-screen

void TGIFPainter::DrawFrame(TGIFSubImage& frame, std::uint8_t disposal, std::uint8_t previous) {
  const bool transparent = (options_ & goTransparent) != 0, tile = (options_ & goTile) != 0;
  const TRect local{0, 0, rect_.Width(), rect_.Height()};
  // Reserved methods 4 to 7 say nothing about disposal: drawn as "leave in place".
  if (disposal > dmPrevious) disposal = dmNoDisposal;
  if (previous > dmPrevious) previous = dmNoDisposal;
  if ((options_ & goClearOnLoop) && activeImage_ == 0) RestoreBackground(work_, frame);
  if (disposal == dmPrevious) {
    if (previous == dmNone || previous == dmNoDisposal) {
      frame.Draw(*canvas_, rect_, transparent, tile);
    } else {
      previousState_ = work_;
      frame.Draw(previousState_, local, transparent, tile);
      CopyBlock(previousState_, 0, 0, *canvas_, rect_.Left, rect_.Top, local.Right, local.Bottom);
    }
    return;
  }
  frame.Draw(work_, local, transparent, tile);
  CopyBlock(work_, 0, 0, *canvas_, rect_.Left, rect_.Top, local.Right, local.Bottom);
  if (disposal == dmBackground) RestoreBackground(work_, frame);
}

void TGIFPainter::RestoreBackground(Bitmap& target, TGIFSubImage& frame) {
  const int sw = image_->GetWidth() > 0 ? image_->GetWidth() : frame.GetLeft() + frame.GetWidth();
  const int sh = image_->GetHeight() > 0 ? image_->GetHeight() : frame.GetTop() + frame.GetHeight();
  const int w = rect_.Width(), h = rect_.Height();
  auto restore = [&](const TRect& area, bool useColour, TColor colour) {
    if (!useColour && hasBackground_)
      CopyBlock(backgroundBitmap_, area.Left, area.Top, target, area.Left, area.Top, area.Width(), area.Height());
    else
      FillBlock(target, area, colour);
  };
  if (!(options_ & goTile)) {
    const TRect area{MulDiv(frame.GetLeft(), w, sw), MulDiv(frame.GetTop(), h, sh),
                     MulDiv(frame.GetLeft() + frame.GetWidth(), w, sw), MulDiv(frame.GetTop() + frame.GetHeight(), h, sh)};
    restore(area, !(options_ & goTransparent), background_);
    return;
  }
  const bool smaller = frame.GetWidth() < sw && frame.GetHeight() < sh;
  const TColor setting = image_->BackgroundColor != clNone ? image_->BackgroundColor : background_;
  for (int i = 0; frame.GetLeft() + i * sw < w; ++i)
    for (int j = 0; frame.GetTop() + j * sh < h; ++j) {
      const int x = frame.GetLeft() + i * sw, y = frame.GetTop() + j * sh;
      const TRect area{x, y, x + frame.GetWidth(), y + frame.GetHeight()};
      if (smaller)
        restore(area, true, setting);
      else
        restore(area, !(options_ & goTransparent), background_);
    }
}

// ---------------------------------------------------------------------------

TGIFPainter* Paint(TGIFImage& image, Bitmap& canvas, const TRect& rect, std::uint16_t options,
                   const TGIFPlayEvents& events, TGIFDispatcher* dispatcher, TGIFPainter** callerSlot,
                   TGIFPlaybackClock* clock) {
  // No painter exists for an image that would free its frames under it.
  if (image.FramesObserver() != Stopper()) image.SetFramesObserver(Stopper());
  if (callerSlot) *callerSlot = nullptr;
  if (image.IsEmpty() || rect.IsEmpty()) return nullptr;
  if (image.Images().GetCount() == 1) options &= static_cast<std::uint16_t>(~(goAsync | goAnimate));
  // Without a GUI to call back into, the painter plays inside the caller.
  if (!dispatcher) options &= static_cast<std::uint16_t>(~goAsync);
  TGIFPainter* painter;
  try {
    painter = new TGIFPainter(callerSlot, options, rect, canvas, image, events, dispatcher,
                              clock ? *clock : TGIFPlaybackClock::System());
  } catch (const std::exception& e) {
    image.Warning(&image, GIFSeverityWarning, e.what());
    return nullptr;
  }
  {
    std::lock_guard<std::recursive_mutex> guard(painter->list_->lock_);
    painter->list_->Add(painter);
    if (callerSlot) *callerSlot = painter;
  }
  if (painter->Asynchronous()) {
    painter->Start();
    return painter;
  }
  painter->Execute();
  painter->Done();
  delete painter;
  return nullptr;
}

void StopAllPainters(TGIFImage& image, std::chrono::milliseconds bound) {
  TGIFPainterList& list = TGIFPainterList::Of(image);
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::unique_lock<std::recursive_mutex> lock(list.lock_);
  for (;;) {
    int waiting = 0;
    for (TGIFPainter* painter : list.painters_) {
      painter->Stop();
      // One whose GUI work is running on this thread right now (this call came
      // from its own event) ends as soon as that work returns; waiting for it
      // here would wait for ourselves. Work running on another thread is waited
      // for like the rest: it reads the frames this call is about to let go.
      if (painter->Asynchronous() &&
          !(painter->guiBusy_ && painter->guiThread_.load() == std::this_thread::get_id()))
        ++waiting;
    }
    if (waiting == 0) break;
    if (std::chrono::steady_clock::now() >= deadline) break;
    list.changed_.wait_for(lock, std::chrono::milliseconds(10));
  }
  // Whatever still runs must not reach this image again.
  for (TGIFPainter* painter : list.painters_) painter->image_ = nullptr;
  list.painters_.clear();
  list.changed_.notify_all();
}

// ---------------------------------------------------------------------------
// The image's own playback members

TGIFPainter* TGIFImage::Paint(Bitmap& canvas, const TRect& rect, std::uint16_t options) {
  return gif::Paint(*this, canvas, rect, options);
}

TGIFPainter* TGIFImage::Paint(Bitmap& canvas, const TRect& rect, std::uint16_t options, const TGIFPlayEvents& events,
                              TGIFDispatcher* dispatcher, TGIFPainter** callerSlot) {
  return gif::Paint(*this, canvas, rect, options, events, dispatcher, callerSlot);
}

void TGIFImage::StopAllPainters() { gif::StopAllPainters(*this); }

TGIFPainterList& TGIFImage::Painters() const { return TGIFPainterList::Of(*this); }

bool WaitForPainterThreads(std::chrono::milliseconds bound) {
  LiveThreads& threads = Threads();
  std::unique_lock<std::mutex> lock(threads.lock);
  return threads.changed.wait_for(lock, bound, [&] { return threads.count == 0; });
}

}  // namespace gif
