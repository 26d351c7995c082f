#include "editor/forms/palette_editor.h"

#include "editor/forms/guarded.h"
#include "editor/model/ui_services.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <utility>

namespace movinta::editor::forms {

namespace {
QColor ToQColor(gif::TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
constexpr int kSwatchBoxSide = 3 + kSwatchColumns * kSwatchSize + 2;
}  // namespace

// ---- RgbSpin

RgbSpin::RgbSpin(QWidget* parent) : QSpinBox(parent) {
  setRange(0, 999);
  setAccelerated(false);
  setKeyboardTracking(false);
}

void RgbSpin::stepBy(int steps) {
  const int v = std::clamp(value() + steps, 0, 255);
  if (v == value()) return;
  setValue(v);
  Tag = v;
  emit Stepped();
}

void RgbSpin::focusInEvent(QFocusEvent* event) {
  Tag = value();
  QSpinBox::focusInEvent(event);
}

// ---- SwatchBox

SwatchBox::SwatchBox(TfrmPalette* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setFixedSize(kSwatchBoxSide, kSwatchBoxSide);
  setMouseTracking(true);
}

QSize SwatchBox::sizeHint() const { return {kSwatchBoxSide, kSwatchBoxSide}; }

void SwatchBox::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.setClipRegion(event->region());
  p.fillRect(rect(), palette().window());
  const TCmdColorMap* map = owner_->PaletteCopy();
  const int count = map ? map->GetCount() : 0;
  for (int i = 0; i < 256; ++i) {
    const QPoint at = SwatchPosition(i) + QPoint(2, 2);
    const QRect r(at, QSize(kSwatchSize, kSwatchSize));
    if (!event->region().intersects(r)) continue;
    if (i >= count) continue;  // beyond the table the box's own colour shows
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    const gif::TGIFColor& c = map->Entry(i);
    p.fillRect(r.adjusted(1, 1, -1, -1), QColor(c.Red, c.Green, c.Blue));
  }
  p.setPen(palette().color(QPalette::Dark));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SwatchBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) owner_->pbPaletteMouseDown(event->position().toPoint().x(),
                                                                     event->position().toPoint().y());
}

void SwatchBox::mouseMoveEvent(QMouseEvent* event) {
  const TCmdColorMap* map = owner_->PaletteCopy();
  const QPoint at = event->position().toPoint();
  // The eyedropper over a swatch that can be picked.
  setCursor(map && SwatchIndexAt(at.x(), at.y(), map->GetCount()) >= 0 ? Qt::CrossCursor : Qt::ArrowCursor);
}

void SwatchBox::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

// ---- FramePreview

FramePreview::FramePreview(TfrmPalette* owner, gif::TGIFSubImage* frame, QWidget* parent)
    : QWidget(parent), owner_(owner), frame_(frame) {
  setFixedSize(frame ? std::max<int>(1, frame->GetWidth()) : 1, frame ? std::max<int>(1, frame->GetHeight()) : 1);
  setCursor(Qt::CrossCursor);
}

void FramePreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  if (!frame_ || frame_->IsEmpty()) return;
  PaintGuarded([&] { DrawFrame(p); });
}

void FramePreview::DrawFrame(QPainter& p) {
  const int w = frame_->GetWidth(), h = frame_->GetHeight();
  QImage picture(w, h, QImage::Format_RGB32);
  const TCmdColorMap* map = owner_->PaletteCopy();
  const QRgb background = palette().window().color().rgb();
  const gif::TGIFColor picked = gif::TGIFColorMap::ColorToRGB(owner_->PickedColor);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
    const std::uint8_t* src = std::as_const(*frame_).Data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    for (int x = 0; x < w; ++x) {
      if (!map || src[x] >= map->GetCount()) {
        row[x] = qRgb(0, 0, 0);
        continue;
      }
      const gif::TGIFColor& c = map->Entry(src[x]);
      row[x] = c == picked ? background : qRgb(c.Red, c.Green, c.Blue);
    }
  }
  p.drawImage(0, 0, picture);
  p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void FramePreview::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    owner_->pbImageMouseDown(event->position().toPoint().x(), event->position().toPoint().y());
}

// ---- TfrmPalette

TfrmPalette::TfrmPalette(QWidget* owner, PaletteMode mode)
    : TfrmPalette(owner, mode, SharedImage(), EditorView()->SelectedFrame()) {}

TfrmPalette::TfrmPalette(QWidget* owner, PaletteMode mode, gif::TGIFImage* image, int frameIndex)
    : QDialog(owner), FrameIndex(frameIndex), mode_(mode), image_(image) {
  setWindowTitle(PaletteCaption(mode));
  setModal(true);
  if (mode_ == PaletteMode::Global) session_ = std::make_unique<PaletteEditSession>(image_, -1);
  const bool frameReached = image_ && FrameIndex >= 0 && FrameIndex < image_->Images().GetCount();
  // Without a frame to show, the choice is among the global colours.
  if (mode_ == PaletteMode::Transparent && image_ && !image_->IsEmpty() && !frameReached)
    session_ = std::make_unique<PaletteEditSession>(image_, -1);
  if (mode_ == PaletteMode::Transparent && image_ && !image_->IsEmpty() && frameReached) {
    session_ = std::make_unique<PaletteEditSession>(image_, FrameIndex);
    gif::TGIFSubImage* frame = image_->Images().GetFrame(FrameIndex);
    if (frame->Transparent() && frame->GraphicControlExtension() && session_->Count() > 0) {
      SelectedIndex = std::min<int>(frame->GraphicControlExtension()->GetTransparentColorIndex(), session_->Count() - 1);
      PickedColor = session_->Copy().GetColor(SelectedIndex);
    }
  }
  Build();
  if (session_ && session_->Count() > 0) {
    if (mode_ == PaletteMode::Transparent) {
      PickedColor = session_->Copy().GetColor(SelectedIndex);
      MovePicker(SelectedIndex);
      SetSelectedColor(PickedColor);
    } else {
      MovePicker(0);
      SetSelectedColor(session_->Copy().GetColor(0));
    }
  }
  UpdateButtons();
}

TfrmPalette::~TfrmPalette() {
  // Leaving a field while the dialog goes must not reach the half-destroyed dialog.
  for (RgbSpin* spin : {udRed, udGreen, udBlue}) spin->Edit()->disconnect(this);
}

void TfrmPalette::Build() {
  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(8, 8, 8, 8);
  main->setSpacing(8);
  lblCaption = new QLabel(PaletteLabel(mode_), this);
  lblCaption->setWordWrap(true);
  main->addWidget(lblCaption);
  bevTop = new QFrame(this);
  bevTop->setFrameShape(QFrame::HLine);
  bevTop->setFrameShadow(QFrame::Sunken);
  main->addWidget(bevTop);

  // The RGB panel.
  pnlRGB = new QWidget(this);
  auto* rgb = new QHBoxLayout(pnlRGB);
  rgb->setContentsMargins(0, 0, 0, 0);
  auto addSpin = [&](const char* label, RgbSpin*& spin, const char* name) {
    auto* caption = new QLabel(QString::fromLatin1(label), pnlRGB);
    rgb->addWidget(caption);
    spin = new RgbSpin(pnlRGB);
    caption->setBuddy(spin);
    spin->setObjectName(QString::fromLatin1(name));
    rgb->addWidget(spin);
    connect(spin, &RgbSpin::Stepped, this, Guarded(this, &TfrmPalette::ApplyRGB));
    connect(spin->Edit(), &QLineEdit::editingFinished, this, Guarded([this, spin] { RgbEditExit(spin); }));
  };
  addSpin("&Red:", udRed, "udRed");
  addSpin("&Green:", udGreen, "udGreen");
  addSpin("&Blue:", udBlue, "udBlue");
  shpPreview = new QFrame(pnlRGB);
  shpPreview->setFrameShape(QFrame::Box);
  shpPreview->setFixedSize(40, 40);
  shpPreview->setAutoFillBackground(true);
  rgb->addWidget(shpPreview);
  rgb->addStretch();
  if (mode_ == PaletteMode::ColorValue) pnlRGB->setFixedHeight(72);

  btnColorAdd = new QPushButton(QStringLiteral("&Add"), this);
  btnColorDelete = new QPushButton(QStringLiteral("&Delete"), this);
  connect(btnColorAdd, &QPushButton::clicked, this, Guarded(this, &TfrmPalette::btnColorAddClick));
  connect(btnColorDelete, &QPushButton::clicked, this, Guarded(this, &TfrmPalette::btnColorDeleteClick));

  if (mode_ != PaletteMode::ColorValue) {
    auto* row = new QHBoxLayout;
    pbPalette = new SwatchBox(this, this);
    shpPicker = new QFrame(pbPalette);
    shpPicker->setFrameShape(QFrame::Box);
    shpPicker->setStyleSheet(QStringLiteral("QFrame { border: 2px solid black; background: transparent; }"));
    shpPicker->setGeometry(1, 1, kSwatchSize + 2, kSwatchSize + 2);
    shpPicker->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(pbPalette, 0, Qt::AlignTop);
    if (mode_ == PaletteMode::Transparent) {
      sbPreview = new QScrollArea(this);
      sbPreview->setAlignment(Qt::AlignCenter);
      sbPreview->setMinimumSize(kSwatchBoxSide, kSwatchBoxSide);
      gif::TGIFSubImage* frame = session_ && FrameIndex >= 0 && FrameIndex < image_->Images().GetCount()
                                     ? image_->Images().GetFrame(FrameIndex)
                                     : nullptr;
      pbImage = new FramePreview(this, frame, sbPreview);
      sbPreview->setWidget(pbImage);
      row->addWidget(sbPreview, 1);
    }
    main->addLayout(row);
  } else {
    bevTop->hide();
  }
  main->addWidget(pnlRGB);
  // Edits in the pick mode would be thrown away and would shift the indices the caller reads.
  const bool editsTable = mode_ == PaletteMode::Global;
  auto* tableButtons = new QHBoxLayout;
  tableButtons->addWidget(btnColorAdd);
  tableButtons->addWidget(btnColorDelete);
  tableButtons->addStretch();
  main->addLayout(tableButtons);
  btnColorAdd->setVisible(editsTable);
  btnColorDelete->setVisible(editsTable);
  bevBottom = new QFrame(this);
  bevBottom->setFrameShape(QFrame::HLine);
  bevBottom->setFrameShadow(QFrame::Sunken);
  bevBottom->setVisible(mode_ == PaletteMode::Transparent);
  main->addWidget(bevBottom);
  buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, Guarded(this, &TfrmPalette::accept));
  connect(buttons, &QDialogButtonBox::rejected, this, Guarded(this, &TfrmPalette::reject));
  main->addWidget(buttons);
}

void TfrmPalette::ShowRgb(gif::TColor color) {
  showing_ = true;
  udRed->setValue(RedOf(color));
  udGreen->setValue(GreenOf(color));
  udBlue->setValue(BlueOf(color));
  udRed->Tag = udRed->value();
  udGreen->Tag = udGreen->value();
  udBlue->Tag = udBlue->value();
  showing_ = false;
}

void TfrmPalette::SetSelectedColor(gif::TColor color) {
  color_ = color & 0xFFFFFF;
  QPalette pal = shpPreview->palette();
  pal.setColor(QPalette::Window, ToQColor(color_));
  shpPreview->setPalette(pal);
  ShowRgb(color_);
}

void TfrmPalette::MovePicker(int index) {
  if (index < 0 || !shpPicker) return;
  shpPicker->move(SwatchPosition(index));
}

void TfrmPalette::StartAt(int index) {
  if (!session_ || index < 0 || index >= session_->Count()) return;
  SelectedIndex = index;
  // OK without a click answers what the picker shows.
  PickedColor = session_->Copy().GetColor(index);
  MovePicker(index);
  SetSelectedColor(PickedColor);
  if (pbImage) pbImage->update();
}

void TfrmPalette::ApplyRGB() {
  if (showing_) return;
  const gif::TColor c = MakeColor(std::min(udRed->value(), 255), std::min(udGreen->value(), 255),
                                  std::min(udBlue->value(), 255));
  color_ = c;
  QPalette pal = shpPreview->palette();
  pal.setColor(QPalette::Window, ToQColor(c));
  shpPreview->setPalette(pal);
  Changed = true;
  if (session_ && SelectedIndex >= 0 && SelectedIndex < session_->Count() &&
      session_->Copy().GetColor(SelectedIndex) != c) {
    session_->SetColor(SelectedIndex, c);
    if (pbPalette) pbPalette->update();
  }
}

void TfrmPalette::RgbEditExit(RgbSpin* edit) {
  const QString text = edit->Edit()->text();
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok || value > 255) {
    if (!ok && text.trimmed().isEmpty()) {
      edit->setValue(edit->Tag);
      return;
    }
    ShowMessage(QStringLiteral("'%1' is not within the 0-255 range.").arg(text.trimmed()), MessageType::Error, kOk);
    edit->setValue(edit->Tag);
    return;
  }
  edit->setValue(value);
  if (value != edit->Tag) {
    edit->Tag = value;
    ApplyRGB();
  }
}

void TfrmPalette::UpdateButtons() {
  const int count = session_ ? session_->Count() : 0;
  btnColorAdd->setEnabled(session_ && count < 256);
  btnColorDelete->setEnabled(session_ && count > 2);
}

void TfrmPalette::pbPaletteMouseDown(int x, int y) {
  if (!session_ || session_->Count() == 0) return;
  const int index = SwatchIndexAt(x, y, session_->Count());
  if (index < 0) {
    btnColorDelete->setEnabled(false);
    return;
  }
  SelectedIndex = index;
  MovePicker(index);
  const gif::TColor c = session_->Copy().GetColor(index);
  SetSelectedColor(c);
  if (mode_ == PaletteMode::Transparent) Changed = true;
  btnColorDelete->setEnabled(session_->Count() > 2);
  PickedColor = c;
  if (pbImage) pbImage->update();
}

void TfrmPalette::pbImageMouseDown(int x, int y) {
  if (mode_ != PaletteMode::Transparent || !session_ || !pbImage || !pbImage->Frame()) return;
  gif::TGIFSubImage* frame = pbImage->Frame();
  // The pixel's own index: a table may hold the same colour twice.
  if (x < 0 || y < 0 || x >= frame->GetWidth() || y >= frame->GetHeight()) return;
  const int index = frame->GetPixel(x, y);
  if (index >= session_->Count()) return;
  SelectedIndex = index;
  PickedColor = session_->Copy().GetColor(index);
  Changed = true;
  MovePicker(index);
  SetSelectedColor(PickedColor);
  pbImage->update();
}

void TfrmPalette::btnColorAddClick() {
  if (!session_ || session_->Count() >= 256) {
    btnColorAdd->setEnabled(false);
    return;
  }
  session_->AddColor(0xFFFFFF);
  SelectedIndex = session_->Count() - 1;
  MovePicker(SelectedIndex);
  SetSelectedColor(0xFFFFFF);
  pbPalette->update();
  Changed = true;
  UpdateButtons();
}

void TfrmPalette::btnColorDeleteClick() {
  if (!session_ || session_->Count() <= 2) {
    btnColorDelete->setEnabled(false);
    return;
  }
  if (session_->Delete(SelectedIndex)) {
    pbPalette->update();
    SelectedIndex = std::max(0, SelectedIndex - 1);
    MovePicker(SelectedIndex);
    SetSelectedColor(session_->Copy().GetColor(SelectedIndex));
    Changed = true;
  } else {
    ShowMessage(QStringLiteral("This color is required by the image and cannot be removed."),
                MessageType::Information, kOk);
  }
  UpdateButtons();
}

void TfrmPalette::accept() {
  if (mode_ == PaletteMode::ColorValue) ApplyRGB();
  QDialog::accept();
}

}  // namespace movinta::editor::forms
