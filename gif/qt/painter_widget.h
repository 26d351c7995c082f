// Plays a GIF animation in a widget. Stands in for the window messages and
// thread synchronisation the painter was designed around: its GUI work runs
// as queued calls on the widget's thread, and its play events arrive there as
// signals. Leaves out palette realisation and painting onto foreign windows.
#pragma once

#include <QObject>
#include <QWidget>

#include "gif/painter/painter.h"

namespace gif::qt {

// Runs painters' GUI work on the thread this object lives on.
class QtPainterDispatcher : public QObject, public TGIFDispatcher {
  Q_OBJECT
public:
  explicit QtPainterDispatcher(QObject* parent = nullptr);
  void Post(std::function<void()> task) override;
  bool ProcessEvents() override;

private:
  bool quitting_ = false;
};

class GIFPainterWidget : public QWidget {
  Q_OBJECT
public:
  explicit GIFPainterWidget(QWidget* parent = nullptr);
  // Stops playback first.
  ~GIFPainterWidget() override;

  // The image is not owned; it must outlive playback (Stop or a new image
  // ends it). Stops any playback.
  void SetImage(TGIFImage* image);
  TGIFImage* Image() const { return image_; }
  // Starts playing the whole image at its logical screen size.
  void Play(std::uint16_t options = GIFDefaultDrawOptions);
  // Ends playback; returns once the painter has ended (bounded).
  void Stop();
  bool IsPlaying() const;
  int ActiveImage() const { return active_; }
  const Bitmap& Canvas() const { return canvas_; }
  QSize sizeHint() const override;

signals:
  void beginPlay();
  void beforeFrame(int frame);
  void afterFrame(int frame);
  void loopRestart();
  void endPlay();

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QtPainterDispatcher dispatcher_;
  TGIFImage* image_ = nullptr;
  TGIFPainter* painter_ = nullptr;  // read under the painter list's lock
  Bitmap canvas_;
  int active_ = -1;
};

}  // namespace gif::qt
