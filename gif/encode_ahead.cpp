#include "gif/encode_ahead.h"

#include <algorithm>

#include "gif/gifimage.h"
#include "gif/threads.h"

namespace gif {

TEncodeAhead::~TEncodeAhead() { Wait(); }

int TEncodeAhead::Start(TGIFImage& image) {
  const std::shared_ptr<TGIFEncodedDataCache> cache = image.EncodedDataCache;
  if (!cache) return 0;
  std::vector<Job> jobs;
  std::vector<const TGIFSubImage*> sources;
  std::uint64_t bytes = 0;
  TGIFEncodedDataCache::Data found;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFSubImage& f = *image.Images().GetFrame(i);
    // A frame held in part is filled in by the write.
    if (!f.WritesPixels() || f.partial_ || started_.contains(f.pixelsId_)) continue;
    const TGIFEncodedDataCache::Key key = f.EncodingKey(f.LargestIndex());
    if (cache->Lookup(key, found)) continue;
    const TGIFEncodedDataCache::Key& base = f.baseKey_;
    const bool rewritable = key.Compression != 1 && base.Compression == key.Compression &&
                            base.Interlaced == key.Interlaced && base.Width == key.Width && base.Height == key.Height;
    // Pixels started here and recoloured since are rewritten from them once they are done.
    if (f.remappedFor_ == f.pixelsId_ && rewritable && (started_.contains(base.Pixels) || cache->Lookup(base, found)))
      continue;
    Job job;
    job.Cache = cache;
    job.Key = key;
    jobs.push_back(std::move(job));
    sources.push_back(&f);
    bytes += f.pixels_.size();
    started_.insert(f.pixelsId_);
    // These pixels are the base of the frame's next recolouring, whose data is then rewritten
    // from the data encoded here.
    f.remappedFor_ = 0;
  }
  // The pixels as they are now, mapped where a map waits for them; copied on several threads
  // when there are many, the caller's among them, which changes nothing meanwhile.
  const unsigned cores = std::max(2u, std::min(8u, std::thread::hardware_concurrency()));
  const int copiers = static_cast<int>(std::min<std::uint64_t>(cores, bytes / (std::uint64_t{1} << 22) + 1));
  RunOnThreads(static_cast<int>(jobs.size()), copiers, [&](int k) {
    const TGIFSubImage& f = *sources[static_cast<std::size_t>(k)];
    PixelBytes& to = jobs[static_cast<std::size_t>(k)].Pixels;
    to.resize(f.pixels_.size());
    if (f.remapPending_)
      std::transform(f.pixels_.begin(), f.pixels_.end(), to.begin(), [&f](std::uint8_t p) { return f.pendingMap_[p]; });
    else
      std::copy(f.pixels_.begin(), f.pixels_.end(), to.begin());
  });
  if (jobs.empty()) return 0;
  const int count = static_cast<int>(jobs.size());
  std::lock_guard guard(lock_);
  for (Job& job : jobs) jobs_.push_back(std::move(job));
  wake_.notify_all();
  // The caller's thread goes on with its own work: one core is left to it.
  const int wanted = std::min(static_cast<int>(cores) - 1, static_cast<int>(jobs_.size()) + busy_);
  if (static_cast<int>(threads_.size()) < wanted)
    StartThreads(threads_, wanted - static_cast<int>(threads_.size()), [this] { Work(); });
  if (threads_.empty()) {
    // No thread could be started: the write encodes the frames.
    jobs_.clear();
    idle_.notify_all();
  }
  return count;
}

void TEncodeAhead::Work() {
  std::unique_lock guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return closing_ || !jobs_.empty(); });
    if (jobs_.empty()) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    ++busy_;
    guard.unlock();
    try {
      TGIFEncodedDataCache::Data data;
      job.Cache->Encode(job.Key, job.Pixels, data);
    } catch (...) {
      // out of memory: the write encodes the frame, and says so when it cannot
    }
    job = Job();
    guard.lock();
    --busy_;
    if (jobs_.empty() && busy_ == 0) idle_.notify_all();
  }
}

bool TEncodeAhead::Pending() {
  std::lock_guard guard(lock_);
  return !jobs_.empty() || busy_ > 0;
}

void TEncodeAhead::Wait() {
  {
    std::unique_lock guard(lock_);
    idle_.wait(guard, [this] { return jobs_.empty() && busy_ == 0; });
    closing_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
  std::lock_guard guard(lock_);
  closing_ = false;
}

}  // namespace gif
