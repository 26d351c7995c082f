// The palette editor: a modal dialog that edits a copy of the global colour table, picks a frame's
// transparent colour from its table or its picture, or takes one colour as red, green and blue.
// It never changes the working image; its caller reads the result and records the change.
#pragma once

#include "editor/forms/palette_logic.h"

#include <QDialog>
#include <QSpinBox>

#include <memory>

class QDialogButtonBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;

class QPainter;

namespace movinta::editor::forms {

// An up-down that also takes typed numbers beyond 255, so leaving it can say why they are refused.
class RgbSpin : public QSpinBox {
  Q_OBJECT
public:
  explicit RgbSpin(QWidget* parent = nullptr);
  void stepBy(int steps) override;
  QLineEdit* Edit() const { return lineEdit(); }
  int Tag = 0;  // the value when the field was entered

signals:
  void Stepped();

protected:
  void focusInEvent(QFocusEvent* event) override;
};

class SwatchBox;
class FramePreview;

class TfrmPalette : public QDialog {
  Q_OBJECT
public:
  // image and frameIndex default to the working image and the main window's selected frame.
  TfrmPalette(QWidget* owner, PaletteMode mode);
  TfrmPalette(QWidget* owner, PaletteMode mode, gif::TGIFImage* image, int frameIndex);
  ~TfrmPalette() override;

  PaletteMode Mode() const { return mode_; }
  bool Changed = false;
  int SelectedIndex = 0;
  gif::TColor PickedColor = 0;
  int FrameIndex = -1;
  // The copy being edited (null in mode 2); its session knows where the original entries went.
  TCmdColorMap* PaletteCopy() { return session_ ? &session_->Copy() : nullptr; }
  PaletteEditSession* Session() { return session_.get(); }
  gif::TColor Color() const { return color_; }

  void SetSelectedColor(gif::TColor color);
  void MovePicker(int index);
  void ApplyRGB();
  // Starts mode 1 at a chosen entry of the table shown, picking that entry's colour.
  void StartAt(int index);

  // Handlers, public so the dialog's behaviour can be driven directly.
  void pbPaletteMouseDown(int x, int y);
  void pbImageMouseDown(int x, int y);
  void btnColorAddClick();
  void btnColorDeleteClick();
  void RgbEditExit(RgbSpin* edit);
  void accept() override;

  SwatchBox* pbPalette = nullptr;
  QFrame* shpPicker = nullptr;
  QScrollArea* sbPreview = nullptr;
  FramePreview* pbImage = nullptr;
  QWidget* pnlRGB = nullptr;
  RgbSpin* udRed = nullptr;
  RgbSpin* udGreen = nullptr;
  RgbSpin* udBlue = nullptr;
  QFrame* shpPreview = nullptr;
  QPushButton* btnColorAdd = nullptr;
  QPushButton* btnColorDelete = nullptr;
  QLabel* lblCaption = nullptr;
  QFrame* bevTop = nullptr;
  QFrame* bevBottom = nullptr;
  QDialogButtonBox* buttons = nullptr;

private:
  void Build();
  void UpdateButtons();
  void ShowRgb(gif::TColor color);

  PaletteMode mode_;
  gif::TGIFImage* image_;
  std::unique_ptr<PaletteEditSession> session_;
  gif::TColor color_ = 0;
  bool showing_ = false;  // the up-downs are being set from a colour
};

// The swatch box: 16 swatches of 15 x 15 a row over a table.
class SwatchBox : public QWidget {
  Q_OBJECT
public:
  SwatchBox(TfrmPalette* owner, QWidget* parent);
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  TfrmPalette* owner_;
};

// The frame's picture with every pixel of the picked colour shown as the background.
class FramePreview : public QWidget {
  Q_OBJECT
public:
  FramePreview(TfrmPalette* owner, gif::TGIFSubImage* frame, QWidget* parent);
  gif::TGIFSubImage* Frame() const { return frame_; }

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  void DrawFrame(QPainter& p);

  TfrmPalette* owner_;
  gif::TGIFSubImage* frame_;
};

}  // namespace movinta::editor::forms
