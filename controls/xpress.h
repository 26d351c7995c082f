// The imaging-control panel: a widget that loads image files of many formats, tells their size,
// resamples them and hands out their pixels, and shows the loaded image. The loading itself is
// the platform's imaging control.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

namespace movinta::platform {
class ImagingControl;
}

class TXpress : public QWidget {
  Q_OBJECT
public:
  explicit TXpress(QWidget* parent = nullptr);
  ~TXpress() override;

  // True when files with this extension ("png", ".TIF") load on this machine.
  static bool CanReadExtension(const QString& extension);

  // Loads the file at once; GetErrorCode tells how it went.
  void SetFileName(const QString& fileName);
  // The same with the file read through read, which may run the reading elsewhere and wait for it.
  void SetFileName(const QString& fileName, const std::function<void(const std::function<void()>&)>& read);
  QString FileName() const { return fileName_; }
  // 0 after a successful load, non-zero after a failed one.
  std::uint16_t GetErrorCode() const;
  // Bytes a load may take (0: no limit); a picture past it fails with kTooLarge before decoding.
  void SetMemoryLimit(std::uint64_t bytes);
  static constexpr std::uint16_t kTooLarge = 6;
  // Pixel size of the loaded image, 0 without one; the 16-bit forms stop at 32767.
  std::int16_t GetImageWidth() const;
  std::int16_t GetImageHeight() const;
  std::int32_t GetImageWidthLong() const;
  std::int32_t GetImageHeightLong() const;
  // Resamples the loaded image to exactly that size.
  void ResizeImage(std::int16_t width, std::int16_t height);
  // The image as a packed device-independent bitmap (40-byte info header, 32 bits a pixel,
  // rows bottom to top); empty without an image. Touches no widget: a worker may make it while
  // the window goes on, as long as nothing loads or clears meanwhile.
  QByteArray CopyDIB() const;
  // True when the loaded image carries an alpha channel (the fourth bytes of CopyDIB's pixels).
  bool HasAlpha() const;
  // The image as a bitmap; a null image without one.
  QImage CopyImage() const;
  // Releases the loaded image; the argument is kept for callers that pass 0.
  void ClearImage(int value = 0);

  // With AutoSize the panel takes the size of each image it loads or resamples.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  QColor BackColor() const { return backColor_; }
  void SetBackColor(const QColor& color);

signals:
  void OnClick();
  void OnDblClick();
  void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  void OnMouseMove(Qt::KeyboardModifiers shift, int x, int y);
  void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  void OnKeyDown(int key, Qt::KeyboardModifiers shift);
  void OnKeyUp(int key, Qt::KeyboardModifiers shift);
  void OnKeyPress(const QString& text);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

private:
  void ImageChanged();
  void Show(QImage shown);

  std::unique_ptr<movinta::platform::ImagingControl> control_;
  QString fileName_;
  QImage shown_;
  bool autoSize_ = false;
  QColor backColor_;
};
