// Plays an animation onto a canvas bitmap: frames in order with their delays,
// disposal methods composed off-screen, loop counts, speed and the five play
// events. An asynchronous painter times the frames on a thread of its own and
// does everything that touches the image or the canvas on the GUI thread,
// through a TGIFDispatcher the GUI side implements; a synchronous painter runs
// inside the caller.
//
// Every painter of an image is listed in that image's TGIFPainterList, under
// the list's lock. StopAllPainters asks every painter to stop and waits, for a
// bounded time, for the asynchronous ones; a painter is never killed, and one
// still running when the bound passes loses its image and ends by itself
// without touching it again. Call StopAllPainters before an image that is
// painted is cleared, changed or destroyed.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gif/gifimage.h"

namespace gif {

class TGIFPainter;

// What a painter needs of the GUI: a place to run work on the GUI thread.
class TGIFDispatcher {
public:
  virtual ~TGIFDispatcher() = default;
  // Queues task to run on the GUI thread; any thread may call it. A task that
  // never runs (the GUI is gone) is harmless: the painter stops waiting for it
  // as soon as it is asked to stop.
  virtual void Post(std::function<void()> task) = 0;
  // Runs the GUI work that is waiting (for the waits of synchronous painters);
  // false once the application is quitting.
  virtual bool ProcessEvents() { return true; }
};

// The painter's notion of time, replaceable in tests.
class TGIFPlaybackClock {
public:
  virtual ~TGIFPlaybackClock() = default;
  // Milliseconds from an arbitrary start, wrapping like a 32-bit tick count.
  virtual std::uint32_t Now() = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Waits until wake() returns true or milliseconds pass (-1: no limit);
  // block(ms) does the real waiting and returns true when woken. True when woken.
  virtual bool WaitForWake(int milliseconds, const std::function<bool(int)>& block) { return block(milliseconds); }
  // The real clock, shared by every painter.
  static TGIFPlaybackClock& System();
};

// Delay units are hundredths of a second in the file; playback has always used
// 12 ms for each, a little slower than the file says, and keeps doing so.
inline constexpr int MillisecondsPerDelayUnit = 12;
inline constexpr int DefaultFrameDelay = 10;       // a frame without a delay
inline constexpr int MinimumFrameDelay = 3;        // shorter delays are raised to this
inline constexpr int MaximumSyncFrameDelay = 1000; // longest wait of a synchronous painter

using TGIFPlayEvent = std::function<void(TGIFPainter& painter)>;

struct TGIFPlayEvents {
  TGIFPlayEvent OnBeginPlay, OnBeforeFrame, OnAfterFrame, OnLoopRestart, OnEndPlay;
  // Our own: the canvas holds a new picture (the GUI repaints from it).
  TGIFPlayEvent OnCanvasChanged;
};

class TGIFPainterList {
public:
  // The list of the image, made on first use; it lives as long as the program.
  static TGIFPainterList& Of(const TGIFImage& image);

  // Guards adding, removing and walking painters. Recursive, so that a GUI
  // thread holding it (an optimisation) may still start or stop painters.
  std::recursive_mutex& Lock() { return lock_; }
  std::vector<TGIFPainter*> Painters();
  int Count();

private:
  friend class TGIFPainter;
  friend void StopAllPainters(TGIFImage& image, std::chrono::milliseconds bound);
  friend TGIFPainter* Paint(TGIFImage&, Bitmap&, const TRect&, std::uint16_t, const TGIFPlayEvents&,
                            TGIFDispatcher*, TGIFPainter**, TGIFPlaybackClock*);
  void Add(TGIFPainter* painter);
  void Remove(TGIFPainter* painter);

  std::recursive_mutex lock_;
  std::condition_variable_any changed_;
  std::vector<TGIFPainter*> painters_;
};

class TGIFPainter {
public:
  TGIFPainter(const TGIFPainter&) = delete;
  TGIFPainter& operator=(const TGIFPainter&) = delete;

  // Resumes an asynchronous painter that has not started yet.
  void Start();
  // Asks the painter to end; wakes it from any wait at once. Never blocks, and
  // is safe from any thread and from the painter's own events.
  void Stop();
  // Ends the loops and plays again from frame 0.
  void Restart();

  // The frame being played, -1 before and after playing. A play event may set
  // it to choose the next frame.
  int ActiveImage() const { return activeImage_; }
  void SetActiveImage(int index) { activeImage_ = index; }
  // Null once the image has gone away.
  TGIFImage* Image() const { return image_; }
  bool Asynchronous() const { return (options_ & goAsync) != 0; }
  bool Terminated() const { return terminated_; }
  std::uint16_t DrawOptions() const { return options_; }
  // True while the GUI thread runs this painter's work (its events among it):
  // a stopped painter then ends only after that work returns.
  bool InGUIWork() const { return guiBusy_; }
  // The caller's slot is going away: the painter no longer clears it. Call it
  // under the list's lock.
  void ForgetCallerSlot() { callerSlot_ = nullptr; }

private:
  friend TGIFPainter* Paint(TGIFImage&, Bitmap&, const TRect&, std::uint16_t, const TGIFPlayEvents&,
                            TGIFDispatcher*, TGIFPainter**, TGIFPlaybackClock*);
  friend void StopAllPainters(TGIFImage& image, std::chrono::milliseconds bound);

  TGIFPainter(TGIFPainter** callerSlot, std::uint16_t options, const TRect& rect, Bitmap& canvas, TGIFImage& image,
              const TGIFPlayEvents& events, TGIFDispatcher* dispatcher, TGIFPlaybackClock& clock);
  ~TGIFPainter();

  void ThreadBody();
  void Execute();
  struct PlayState;
  void FrameLoop(PlayState& play);
  void WaitCarried(PlayState& play);
  void PlayFrame(PlayState& play);
  void Fire(const TGIFPlayEvent& event);
  // Runs work on the GUI thread and waits for it; false when the painter was
  // stopped before the work began (it then never runs).
  bool OnGUI(const std::function<void()>& work);
  void Prepare();
  void DrawFrame(TGIFSubImage& frame, std::uint8_t disposal, std::uint8_t previous);
  void RestoreBackground(Bitmap& target, TGIFSubImage& frame);
  void Guarded(const std::function<void()>& work);
  void ReportError(const std::string& message);
  void Done();
  bool Stopping() const { return terminated_ || restart_; }

  TGIFImage* image_;
  TGIFPainterList* list_;
  Bitmap* canvas_;
  TRect rect_;
  int speed_;
  int activeImage_ = -1;
  std::uint16_t options_;
  TColor background_ = 0;
  Bitmap work_, previousState_, backgroundBitmap_;
  bool hasWork_ = false, hasBackground_ = false;
  bool firstFrameDrawn_ = false;
  TGIFPainter** callerSlot_;
  TGIFPlayEvents events_;
  TGIFDispatcher* dispatcher_;
  TGIFPlaybackClock& clock_;
  int canvasWidth_ = 0, canvasHeight_ = 0;

  struct Call;
  mutable std::mutex state_;
  std::condition_variable wake_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> restart_{false};
  std::atomic<bool> guiBusy_{false};  // the GUI thread is running work of this painter
  std::atomic<std::thread::id> guiThread_{};  // the thread running that work
  bool woken_ = false;
  bool started_ = false;
  std::shared_ptr<Call> pending_;
};

// Creates a painter for the image onto canvas (24 or 32 bits) inside rect.
// Nothing happens for an empty image or rect. With one frame, goAsync and
// goAnimate are dropped. An asynchronous painter (goAsync, needs a dispatcher)
// is started and returned; it frees itself when it ends, clearing *callerSlot
// (read it under the list's lock) if it still points to it. A synchronous one
// plays to its end before Paint returns null. Errors of a playback reach the
// image's warning callback.
TGIFPainter* Paint(TGIFImage& image, Bitmap& canvas, const TRect& rect, std::uint16_t options,
                   const TGIFPlayEvents& events = {}, TGIFDispatcher* dispatcher = nullptr,
                   TGIFPainter** callerSlot = nullptr, TGIFPlaybackClock* clock = nullptr);

// Stops every painter of the image and waits up to bound for the asynchronous
// ones; those still running then are detached from the image.
void StopAllPainters(TGIFImage& image, std::chrono::milliseconds bound = std::chrono::milliseconds(2000));

// Waits until every painter thread of the program has ended (tests, shutdown).
bool WaitForPainterThreads(std::chrono::milliseconds bound);

}  // namespace gif
