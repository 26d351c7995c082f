#include "editor/model/playback.h"

#include "editor/model/string_tables.h"
#include "editor/model/whole_animation.h"

namespace movinta::editor {

TPlayback::TPlayback(TFrameEditing& commands, gif::TGIFDispatcher* dispatcher, gif::TGIFPlaybackClock* clock)
    : commands_(commands), dispatcher_(dispatcher), clock_(clock) {
  commands_.StopPlayback = [this] { Stop(true); };
}

TPlayback::~TPlayback() {
  commands_.StopPlayback = nullptr;
  view_ = nullptr;
  Stop(true);
  ReleaseCopy();
}

int TPlayback::ActiveFrame() const { return playing_ ? lastFrame_ : -1; }

QString TPlayback::FrameStatus() const {
  TMDIChild* document = commands_.Active();
  if (!document) return QString();
  TGIFImage& image = *SharedImage();
  return Tr(play_texts::kFrameStatus).arg(document->DisplayName()).arg(image.GetHeight()).arg(image.GetWidth());
}

bool TPlayback::PlayDocument(const QString& fileName, const std::function<bool(TMDIChild*)>& activate) {
  TDocuments& documents = commands_.Documents();
  TMDIChild* target = nullptr;
  for (int i = 0; i < documents.Count() && !target; ++i)
    if (documents.At(i)->FileName == fileName) target = documents.At(i);
  if (!target) return false;
  if (playing_) Stop(true);
  const bool switched = activate ? activate(target) : documents.Activate(target);
  if (!switched || commands_.Active() != target) return false;
  return Play();
}

bool TPlayback::Play() {
  commands_.ApplyPendingInput();
  if (!commands_.Active()) return false;
  if (playing_) Stop(true);
  TGIFImage& shared = *SharedImage();
  if (!HasSeveralFrames(shared)) {
    MessageBeep();
    ShowMessage(Tr(play_texts::kNotAnimation), MessageType::Information, kOk);
    return false;
  }
  ReleaseCopy();
  copy_ = std::make_unique<TGIFImage>();
  try {
    const std::uint64_t canvas = TGIFImage::ScreenMemoryCost(std::max(shared.GetWidth(), 1), std::max(shared.GetHeight(), 1));
    copyCharge_ = gif::TGIFMemoryCharge(shared, shared.MemoryCost() + canvas);
    copy_->Assign(shared);
  } catch (const std::exception& e) {
    copy_.reset();
    copyCharge_.Release();
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    return false;
  }
  NormalizeLoopBlock(*copy_, AnimationPlays(*copy_));
  copy_->SetDrawOptions(gif::GIFDefaultDrawOptions);
  const int width = std::max(copy_->GetWidth(), 1), height = std::max(copy_->GetHeight(), 1);
  canvas_ = gif::Bitmap(width, height, gif::PixelFormat::pf32bit);
  gif::TGIFPlayEvents events;
  events.OnBeforeFrame = [this](gif::TGIFPainter& p) { Progress(p); };
  events.OnEndPlay = [this](gif::TGIFPainter& p) { Progress(p); };
  events.OnCanvasChanged = [this](gif::TGIFPainter&) {
    if (view_) view_->CanvasChanged();
  };
  playing_ = true;
  lastFrame_ = -1;
  commands_.SetPlaying(true);
  if (view_) view_->PlaybackShown(true);
  gif::TGIFPainter* painter = gif::Paint(*copy_, canvas_, gif::TRect{0, 0, width, height}, gif::GIFDefaultDrawOptions,
                                         events, dispatcher_, &painter_, clock_);
  {
    std::lock_guard guard(gif::TGIFPainterList::Of(*copy_).Lock());
    if (painter) painter_ = painter;
  }
  return true;
}

void TPlayback::Progress(gif::TGIFPainter& painter) {
  if (!playing_) return;
  if (painter.ActiveImage() < 0) {
    // The painter is inside its own event: it ends by itself; the copy goes at the next play.
    Stop(false);
    return;
  }
  lastFrame_ = painter.ActiveImage();
  const int count = painter.Image() ? painter.Image()->Images().GetCount() : 0;
  if (view_) view_->DocumentStatus(Tr(play_texts::kPlayingFrame).arg(lastFrame_).arg(count - 1));
}

void TPlayback::Stop(bool release) {
  if (!playing_) return;
  playing_ = false;
  commands_.SetPlaying(false);
  if (release) ReleaseCopy();
  if (view_) {
    view_->PlaybackShown(false);
    view_->DocumentStatus(FrameStatus());
  }
}

void TPlayback::ReleaseCopy() {
  if (!copy_) return;
  gif::StopAllPainters(*copy_);
  {
    std::lock_guard guard(gif::TGIFPainterList::Of(*copy_).Lock());
    painter_ = nullptr;
  }
  copy_.reset();
  copyCharge_.Release();
}

}  // namespace movinta::editor
