// Draws the pictures of the editor's resource file: the splash ("SPLASH"), the start-page
// animation ("ANIMATED", written with our own GIF library) and the two wizard side pictures
// ("ANI_WIZ", "OPT_WIZ"), and writes the resource list that rcc packs into Tessary.rcc.
//
// Usage: tessary_pictures <output folder>
#include "editor/model/working_image.h"
#include "gif/qt/qimage_adapter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>

namespace {

using movinta::editor::AddLoopExtension;
using movinta::editor::SetFrameDelay;
using movinta::editor::WriteGifFile;

const QColor kInk(0x20, 0x2a, 0x44);
const QColor kAccent(0xe0, 0x6c, 0x1c);
const QColor kSky(0x3c, 0x78, 0xc8);

// A film strip of three frames; phase moves a ball across them.
void DrawFilmStrip(QPainter& p, const QRectF& r, double phase) {
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawRoundedRect(r, 6, 6);
  const double hole = r.height() / 10;
  p.setBrush(Qt::white);
  for (double x = r.left() + hole; x < r.right() - hole; x += hole * 2.2) {
    p.drawRect(QRectF(x, r.top() + hole * 0.6, hole, hole));
    p.drawRect(QRectF(x, r.bottom() - hole * 1.6, hole, hole));
  }
  const double cellW = (r.width() - hole * 4) / 3;
  const double cellH = r.height() - hole * 5;
  for (int i = 0; i < 3; ++i) {
    const QRectF cell(r.left() + hole + i * (cellW + hole), r.top() + hole * 2.5, cellW, cellH);
    QLinearGradient g(cell.topLeft(), cell.bottomLeft());
    g.setColorAt(0, QColor(0xbf, 0xdc, 0xff));
    g.setColorAt(1, QColor(0xf4, 0xf8, 0xff));
    p.setBrush(g);
    p.drawRect(cell);
    const double t = phase + i / 3.0;
    const double bx = cell.left() + cell.width() * (0.2 + 0.6 * (t - std::floor(t)));
    const double by = cell.top() + cell.height() * (0.75 - 0.5 * std::abs(std::sin(t * M_PI)));
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(bx, by), cell.height() / 8, cell.height() / 8);
  }
  p.restore();
}

QImage Splash() {
  QImage image(449, 301, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(0, 0, 0, 301);
  back.setColorAt(0, QColor(0xfa, 0xfb, 0xfe));
  back.setColorAt(1, QColor(0xd8, 0xe4, 0xf4));
  p.fillRect(image.rect(), back);
  DrawFilmStrip(p, QRectF(24, 24, 180, 110), 0.15);
  QFont title(QStringLiteral("Sans"), 20, QFont::Bold);
  p.setFont(title);
  p.setPen(kInk);
  p.drawText(QRectF(220, 30, 220, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("GIF Movinta"));
  p.setFont(QFont(QStringLiteral("Sans"), 12));
  p.setPen(kSky);
  p.drawText(QRectF(222, 76, 220, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Version 6.0"));
  p.setPen(kInk);
  p.setFont(QFont(QStringLiteral("Sans"), 9));
  p.drawText(QRectF(222, 104, 210, 40), Qt::AlignLeft | Qt::TextWordWrap,
             QStringLiteral("Animated GIF editor by Larkspur Software"));
  // The two hot spots the splash window lays over the picture.
  struct Spot {
    QRectF Rect;
    const char* Text;
    QColor Fill;
  };
  const Spot spots[] = {{QRectF(98, 210, 113, 33), "Order Online", QColor(0x8a, 0x95, 0xa8)},
                        {QRectF(282, 210, 151, 33), "Start GIF Movinta", kAccent}};
  p.setFont(QFont(QStringLiteral("Sans"), 10, QFont::Bold));
  for (const Spot& s : spots) {
    p.setPen(Qt::NoPen);
    p.setBrush(s.Fill);
    p.drawRoundedRect(s.Rect, 8, 8);
    p.setPen(Qt::white);
    p.drawText(s.Rect, Qt::AlignCenter, QString::fromLatin1(s.Text));
  }
  p.setPen(QColor(0x60, 0x68, 0x78));
  p.setFont(QFont(QStringLiteral("Sans"), 8));
  p.drawText(QRectF(12, 270, 425, 20), Qt::AlignCenter, QStringLiteral("Click Start to begin."));
  return image;
}

QImage WizardSide(bool optimise) {
  QImage image(164, 314, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(0, 0, 164, 314);
  back.setColorAt(0, optimise ? QColor(0x2f, 0x6f, 0x5a) : kSky);
  back.setColorAt(1, kInk);
  p.fillRect(image.rect(), back);
  DrawFilmStrip(p, QRectF(12, 40, 140, 86), optimise ? 0.5 : 0.0);
  p.setPen(Qt::white);
  p.setFont(QFont(QStringLiteral("Sans"), 13, QFont::Bold));
  p.drawText(QRectF(8, 150, 148, 60), Qt::AlignCenter | Qt::TextWordWrap,
             optimise ? QStringLiteral("Optimization Wizard") : QStringLiteral("Animation Wizard"));
  return image;
}

// The start-page animation: a film strip whose ball bounces, twelve frames looping forever.
bool WriteAnimation(const QString& path) {
  gif::TGIFImage gifImage;
  const int frames = 12;
  for (int i = 0; i < frames; ++i) {
    QImage image(240, 150, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawFilmStrip(p, QRectF(10, 10, 220, 130), double(i) / frames);
    p.end();
    const int index = gifImage.Add(gif::qt::FromQImage(image));
    SetFrameDelay(*gifImage.Images().GetFrame(index), 8);
  }
  AddLoopExtension(gifImage, 0, 0);
  QString error;
  if (!WriteGifFile(gifImage, path, false, &error)) {
    std::fprintf(stderr, "tessary_pictures: %s\n", qPrintable(error));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tessary_pictures <output folder>\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(out.path())) return 1;
  bool ok = Splash().save(out.filePath(QStringLiteral("splash.bmp")), "BMP");
  ok = WizardSide(false).save(out.filePath(QStringLiteral("ani_wiz.bmp")), "BMP") && ok;
  ok = WizardSide(true).save(out.filePath(QStringLiteral("opt_wiz.bmp")), "BMP") && ok;
  ok = WriteAnimation(out.filePath(QStringLiteral("animated.gif"))) && ok;
  QFile qrc(out.filePath(QStringLiteral("Tessary.qrc")));
  ok = qrc.open(QIODevice::WriteOnly | QIODevice::Truncate) && ok;
  qrc.write("<RCC>\n"
            "<qresource prefix=\"/BITMAP\">\n"
            "  <file alias=\"SPLASH\">splash.bmp</file>\n"
            "  <file alias=\"ANI_WIZ\">ani_wiz.bmp</file>\n"
            "  <file alias=\"OPT_WIZ\">opt_wiz.bmp</file>\n"
            "</qresource>\n"
            "<qresource prefix=\"/GIF\">\n"
            "  <file alias=\"ANIMATED\">animated.gif</file>\n"
            "</qresource>\n"
            "</RCC>\n");
  if (!ok) std::fprintf(stderr, "tessary_pictures: could not write the pictures to %s\n", argv[1]);
  return ok ? 0 : 1;
}
