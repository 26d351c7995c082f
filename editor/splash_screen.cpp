#include "editor/splash_screen.h"

#include "editor/model/resource_library.h"
#include "editor/model/string_tables.h"
#include "editor/qt_services.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace movinta::editor {

namespace {
// A transparent rectangle with a hand cursor that reports left clicks with its tag.
class HotSpot : public QWidget {
public:
  HotSpot(TSplashScreen* splash, int tag, const QRect& rect, const QString& hint)
      : QWidget(splash), splash_(splash), tag_(tag) {
    setGeometry(rect);
    setCursor(Qt::PointingHandCursor);
    setToolTip(hint);
    setStatusTip(hint);
    setAttribute(Qt::WA_TranslucentBackground);
    setVisible(true);
  }

protected:
  void mousePressEvent(QMouseEvent* event) override { splash_->Shape1MouseDown(event->button(), tag_); }

private:
  TSplashScreen* splash_;
  int tag_;
};
}  // namespace

TSplashScreen::TSplashScreen(const QString& resourceLibrary, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("SplashScreen"));
  setWindowTitle(QStringLiteral("Larkspur GIF Movinta 6.0"));
  shape1_ = new HotSpot(this, 0, QRect(98, 210, 113, 33), QStringLiteral("Order this program Online now!"));
  shape2_ = new HotSpot(this, 1, QRect(282, 210, 151, 33), QStringLiteral("Start the program!"));
  picture_ = LoadBitmapResource(resourceLibrary, QStringLiteral("SPLASH"));
  setFixedSize(picture_.isNull() ? QSize(449, 301) : picture_.size());
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

void TSplashScreen::Shape1MouseDown(Qt::MouseButton button, int tag) {
  if (button != Qt::LeftButton) return;
  if (tag != 0) {
    accept();
    return;
  }
  RunShellFile(QString::fromLatin1(kMakerWebPage) + QStringLiteral("sales/"));
}

void TSplashScreen::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!picture_.isNull()) {
    p.drawImage(0, 0, picture_);
    return;
  }
  // Without its picture the splash still shows where to click.
  p.fillRect(rect(), Qt::white);
  p.setPen(Qt::darkGray);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.drawText(QRect(0, 60, width(), 40), Qt::AlignCenter, QStringLiteral("Larkspur GIF Movinta 6.0"));
  p.drawRect(shape1_->geometry());
  p.drawText(shape1_->geometry(), Qt::AlignCenter, QStringLiteral("Order Online"));
  p.drawRect(shape2_->geometry());
  p.drawText(shape2_->geometry(), Qt::AlignCenter, QStringLiteral("Start"));
}

}  // namespace movinta::editor
