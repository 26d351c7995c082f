#include "editor/wizards_logic.h"

#include "editor/start_page.h"
#include "editor/model/files.h"
#include "editor/model/frame_list.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "editor/model/undo_records.h"
#include "editor/model/whole_animation.h"
#include "editor/model/working_image.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTextStream>

#include <algorithm>
#include <span>
#include <cmath>
#include <utility>
#include <vector>

namespace movinta::editor::forms {

using gif::Bitmap;
using gif::PixelFormat;
using gif::TGIFImage;
using gif::TGIFSubImage;

// ---- the Recent preview

std::unique_ptr<TGIFImage> ReadFirstFrame(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  // Only the start of the file is read: one that holds the first frame, grown while it does not.
  // A load that fails or warns may have met the cut; only the whole file's answer is final.
  QByteArray bytes;
  for (qint64 want = qint64(1) << 18;; want *= 4) {
    const qint64 asked = want - bytes.size();
    const QByteArray more = file.read(asked);
    if (file.error() != QFileDevice::NoError) return nullptr;
    bytes += more;
    const bool whole = more.size() < asked || file.atEnd();
    auto image = std::make_unique<TGIFImage>();
    bool warned = false;
    image->OnWarning = [&warned](const void*, int, const std::string&) { warned = true; };
    try {
      gif::TGIFLoadOptions options;
      options.FrameLimit = 1;
      image->LoadFromMemory(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                          static_cast<std::size_t>(bytes.size())),
                            options);
    } catch (const std::exception&) {
      if (whole) return nullptr;
      continue;
    }
    image->OnWarning = nullptr;
    if (whole || (!warned && !image->IsEmpty())) return image;
  }
}

// ---- tips

TipsList LoadTips(const QString& folder) {
  TipsList tips;
  QFile file(QDir(folder).filePath(QString::fromLatin1(kTipsFile)));
  if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    QTextStream in(&file);
    while (!in.atEnd()) {
      const QString line = in.readLine().trimmed();
      if (!line.isEmpty()) tips.Lines.append(line);
    }
  }
  if (tips.Lines.isEmpty())
    tips.Error = QStringLiteral("Could not load tips file! Please make sure Tips.txt is in the application folder of ") +
                 QDir::toNativeSeparators(folder) + QStringLiteral(".");
  return tips;
}

QString NextTip(TipsList& tips) {
  if (tips.Lines.isEmpty()) return tips.Error;
  if (tips.Next < 0 || tips.Next >= tips.Lines.size()) tips.Next = 0;
  return tips.Lines[tips.Next++];
}

// ---- texts

QString BytesText(double bytes) {
  QLocale locale;
  // Without a locale of its own the program groups thousands with commas.
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
  locale.setNumberOptions(QLocale::DefaultNumberOptions);
  return locale.toString(static_cast<qlonglong>(std::llround(bytes))) + QStringLiteral(" bytes");
}

QString SavedText(double firstSize, double optimizedSize) {
  const double saved = firstSize - optimizedSize;
  if (saved <= 0 || firstSize <= 0) return QStringLiteral("None");
  const double percent = std::fabs(optimizedSize / firstSize * 100.0 - 100.0);
  return BytesText(saved) + QString::asprintf(" (%4.1f%%)", percent);
}

float ConnectionRate(const QString& text) {
  if (text == QLatin1String("28.8")) return 28.8f;
  if (text == QLatin1String("DSL")) return 128.0f;
  if (text == QLatin1String("T-1")) return 1544.0f;
  return 56.6f;
}

double DownloadSeconds(double bytes, const QString& rateText) {
  return std::fabs(bytes * 8.0 / static_cast<double>(ConnectionRate(rateText)) / 1000.0);
}

QString DownloadTimeText(double bytes, const QString& rateText) {
  return QString::asprintf("%4.5f secs with a", DownloadSeconds(bytes, rateText));
}

// ---- pages

QString WizardTitle(WizardMode mode) {
  switch (mode) {
    case WizardMode::Welcome: return QStringLiteral("Welcome to GIF Movinta");
    case WizardMode::NewAnimation: return QStringLiteral("Animation Wizard");
    case WizardMode::Optimize: return QStringLiteral("Optimization Wizard");
    case WizardMode::Tips: return QStringLiteral("Tip of the Day");
  }
  return {};
}

int FirstPage(WizardMode mode) { return mode == WizardMode::Optimize ? 5 : 0; }
int LastPage(WizardMode mode) { return mode == WizardMode::Optimize ? 8 : 4; }

QString PageHeading(int page) {
  static const char* const kHeadings[] = {"Animation Dimensions", "Frame Position and Size",
                                          "Animation Loop and Frame Delay", "Frame Images", "Finish Wizard",
                                          "Animation Output ", "Palettes", "Frames", "Finish Wizard"};
  return page >= 0 && page <= 8 ? QString::fromLatin1(kHeadings[page]) : QString();
}

PageButtons ButtonsFor(int page, int imageCount) {
  PageButtons b;
  b.BackEnabled = page != 0 && page != 5;
  b.NextCaption = page == 4 || page == 8 ? QStringLiteral("&Finish") : QStringLiteral("&Next >");
  b.NextEnabled = page != kImagesPage || imageCount > 0;
  return b;
}

// ---- the new-animation wizard

Bitmap ComposeFrame(const Bitmap& picture, int width, int height, gif::TColor background, FramePlacement placement) {
  const Bitmap rgb = picture.Format() == PixelFormat::pf24bit ? picture : picture.ConvertedTo(PixelFormat::pf24bit);
  if (placement == FramePlacement::TopLeft) {
    // The picture itself, cut where it reaches beyond the animation.
    Bitmap out = rgb;
    CropBitmap(out, width, height);
    return out;
  }
  if (placement == FramePlacement::Scale) return StretchBitmap(rgb, width, height);
  Bitmap out(width, height, PixelFormat::pf24bit);
  const std::uint8_t fill[3] = {static_cast<std::uint8_t>((background >> 16) & 0xFF),
                                static_cast<std::uint8_t>((background >> 8) & 0xFF),
                                static_cast<std::uint8_t>(background & 0xFF)};
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = out.Scanline(y);
    for (int x = 0; x < width; ++x) std::copy_n(fill, 3, row + x * 3);
  }
  // Centred: a larger picture shows its middle, a smaller one sits in the middle.
  const int left = (width - rgb.Width()) / 2;
  const int top = (height - rgb.Height()) / 2;
  for (int y = std::max(0, top); y < std::min(height, top + rgb.Height()); ++y) {
    const int x0 = std::max(0, left), x1 = std::min(width, left + rgb.Width());
    if (x1 <= x0) break;
    std::copy_n(rgb.Scanline(y - top) + (x0 - left) * 3, (x1 - x0) * 3, out.Scanline(y) + x0 * 3);
  }
  return out;
}

namespace {
// A pixel of a composed frame where the background shows: the fill around its picture, or the
// backdrop its picture's transparent pixels were laid over. {-1, -1} when there is none.
std::pair<int, int> BackgroundPixel(const Bitmap& composed, gif::TColor background) {
  const std::uint8_t b = (background >> 16) & 0xFF, g = (background >> 8) & 0xFF, r = background & 0xFF;
  for (int y = 0; y < composed.Height(); ++y) {
    const std::uint8_t* row = composed.Scanline(y);
    for (int x = 0; x < composed.Width(); ++x)
      if (row[3 * x] == b && row[3 * x + 1] == g && row[3 * x + 2] == r) return {x, y};
  }
  return {-1, -1};
}
}  // namespace

NewAnimation BuildNewAnimation(const NewAnimationChoice& choice, const PictureReader& read) {
  NewAnimation result;
  auto image = std::make_unique<TGIFImage>();
  const bool optimizePalette = ApplyPaletteDefaults(*image);
  int width = 0, height = 0;
  gif::TColor background = 0xFFFFFF;
  bool first = true;
  std::vector<std::pair<int, int>> shows;  // per frame: where its background shows
  for (const QString& file : choice.Files) {
    Bitmap picture;
    QString error;
    if (!read || !read(file, picture, &error) || picture.Empty()) {
      result.Failed.append(file);
      continue;
    }
    if (first) {
      // The bottom-left corner, one pixel in where the picture is wide enough.
      background = picture.PixelColor(std::min(1, picture.Width() - 1), picture.Height() - 1);
      width = choice.CustomSize ? std::clamp(choice.Width, 1, 65535) : picture.Width();
      height = choice.CustomSize ? std::clamp(choice.Height, 1, 65535) : picture.Height();
      image->SetWidth(width);
      image->SetHeight(height);
      first = false;
    }
    const Bitmap composed = ComposeFrame(picture, width, height, background, choice.Placement);
    shows.push_back(BackgroundPixel(composed, background));
    const int index = image->Add(composed);
    TGIFSubImage& frame = *image->Images().GetFrame(index);
    if (frame.ColorMap().GetCount() > 0) frame.ColorMap().Optimize();
    SetFrameDelay(frame, std::clamp(choice.Delay, 0, 65535));
  }
  if (first) return result;

  TGIFSubImage& frame0 = *image->Images().GetFrame(0);
  AddLoopExtension(*image, 0, choice.LoopForever ? 0 : std::clamp(choice.Plays, 1, 65535));
  AddCommentExtension(frame0, QString::fromLatin1(frame_texts::kCreatedWith) + QString::fromLatin1(kMakerWebPage));
  if (image->GetGlobalColorMap().GetCount() == 0 && frame0.ColorMap().GetCount() > 0)
    image->GetGlobalColorMap().Assign(frame0.ColorMap());
  if (optimizePalette) ApplyStandardPalette(*image);

  if (choice.Transparent) {
    // The first picture's background colour. The reduction may have given it a near colour, and
    // another in each frame's own table: a frame's transparent entry is the one its own background
    // pixels got, wherever the placement put them. A frame where the background shows nowhere has
    // nothing to hide, and no entry to hide without hiding some of its picture.
    for (int i = 0; i < image->Images().GetCount(); ++i) {
      TGIFSubImage& frame = *image->Images().GetFrame(i);
      gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
      if (!gce) continue;
      const auto [x, y] = shows[static_cast<std::size_t>(i)];
      const bool shown = x >= 0 && !frame.IsEmpty();
      if (shown) gce->SetTransparentColorIndex(frame.GetPixel(x, y));
      gce->SetTransparent(shown);
      gce->SetDisposal(gif::dmBackground);
      frame.FreeBitmap();
    }
    gif::TGIFGlobalColorMap& global = image->GetGlobalColorMap();
    const gif::TGIFGraphicControlExtension* gce0 = frame0.GraphicControlExtension();
    const bool hidden0 = gce0 && gce0->GetTransparent();
    const gif::TColor color =
        hidden0 ? frame0.GetActiveColorMap().GetColor(gce0->GetTransparentColorIndex()) : GetBottomLeftColor(frame0);
    const int index =
        frame0.ColorMap().GetCount() == 0 && hidden0 ? gce0->GetTransparentColorIndex() : global.IndexOf(color);
    if (index >= 0) image->Header().SetBackgroundColorIndex(index);
  }
  result.Image = std::move(image);
  return result;
}

// ---- the optimisation wizard

unsigned OptimizeFlags(const OptimizeChoice& c) {
  return (c.Trim ? 1u : 0u) | (c.RemoveDuplicates ? 2u : 0u) | (c.RemoveNonVisible ? 4u : 0u) | (c.SortPalettes ? 8u : 0u);
}

bool HasLocalPalettes(const TGIFImage& image) {
  for (int i = 0; i < image.Images().GetCount(); ++i)
    if (image.Images().GetFrame(i)->ColorMap().GetCount() > 0) return true;
  return false;
}

void OptimizeCopy(TGIFImage& copy, TGIFImage& source, const OptimizeChoice& choice) {
  copy.SetColorReductionBits(source.GetColorReductionBits());
  copy.DitherMode = source.DitherMode;
  copy.Assign(source);
  if (const unsigned flags = OptimizeFlags(choice)) copy.Optimize(flags, copy.ColorReduction, copy.DitherMode, copy.GetColorReductionBits());
  if (choice.OptimizeAll) {
    if (copy.GetGlobalColorMap().GetCount() > 0) copy.GetGlobalColorMap().Optimize();
    for (int i = 0; i < copy.Images().GetCount(); ++i) {
      TGIFSubImage& frame = *copy.Images().GetFrame(i);
      if (!frame.IsEmpty() && frame.ColorMap().GetCount() > 0) frame.ColorMap().Optimize();
    }
  }
  if (choice.RemoveLocal && HasLocalPalettes(source)) copy.OptimizeColorMaps();
}

namespace {
struct Shown {
  QImage Picture;
  int Delay = 0;
};

// What the animation shows over time, one picture after another: pictures that follow an equal
// one add their time to it. Only the logical screen counts. One frame is composed at a time.
class ShownPictures {
public:
  explicit ShownPictures(TGIFImage& image)
      : composer_(image), screen_(0, 0, std::max(1, image.GetWidth()), std::max(1, image.GetHeight())) {
    pending_ = Pull(next_);
  }
  bool Next(Shown& out) {
    if (!pending_) return false;
    out = std::move(next_);
    while ((pending_ = Pull(next_))) {
      if (next_.Picture != out.Picture) break;
      out.Delay += next_.Delay;
    }
    return true;
  }

private:
  bool Pull(Shown& shown) {
    QImage screen;
    int delay = 0;
    if (!composer_.Next(screen, delay)) return false;
    shown.Picture = screen.copy(screen_).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    shown.Delay = delay;
    return true;
  }

  FrameComposer composer_;
  QRect screen_;
  Shown next_;
  bool pending_ = false;
};

// How often the animation plays by its last loop block: this editor goes by the first one, other
// players by the last one met; the two differ only where blocks disagree.
int PlaysByLastBlock(TGIFImage& image) {
  const gif::TGIFAppExtNSLoop* last = nullptr;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    gif::TGIFExtensionList& list = image.Images().GetFrame(i)->Extensions();
    for (int e = 0; e < list.GetCount(); ++e)
      if (const auto* loop = dynamic_cast<const gif::TGIFAppExtNSLoop*>(list.GetExtension(e))) last = loop;
  }
  if (!last) return 1;
  const int stored = last->GetLoops();
  return stored == 0 || stored == 65535 ? 0 : stored + 1;
}

std::int64_t DifferentPixels(const QImage& a, const QImage& b) {
  std::int64_t n = 0;
  const int width = std::min(a.width(), b.width()), height = std::min(a.height(), b.height());
  for (int y = 0; y < height; ++y) {
    const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < width; ++x) n += ra[x] != rb[x] ? 1 : 0;
  }
  return n + static_cast<std::int64_t>(std::max(a.width(), b.width())) * std::max(a.height(), b.height()) -
         static_cast<std::int64_t>(width) * height;
}
}  // namespace

ShownDifference CompareShown(TGIFImage& original, TGIFImage& changed) {
  ShownDifference d;
  ShownPictures a(original), b(changed);
  Shown sa, sb;
  int pictures = 0;
  bool delayChanged = false;
  for (;;) {
    const bool moreA = a.Next(sa), moreB = b.Next(sb);
    if (!moreA && !moreB) break;
    ++pictures;
    if (moreA != moreB) {
      d.TimingChanged = true;  // one shows more pictures than the other
      break;
    }
    d.ChangedPixels += DifferentPixels(sa.Picture, sb.Picture);
    delayChanged |= sa.Delay != sb.Delay;
  }
  // A still picture shows the same however long and however often: its delay and loop count do
  // not count.
  const bool still = pictures == 1 && !d.TimingChanged;
  d.TimingChanged |= delayChanged && !still;
  d.LoopChanged = !still && (AnimationPlays(original) != AnimationPlays(changed) ||
                             PlaysByLastBlock(original) != PlaysByLastBlock(changed));
  return d;
}

QString DifferenceText(const ShownDifference& d) {
  if (d.Same()) return QStringLiteral("The optimized animation looks the same as the original.");
  QStringList parts;
  if (d.ChangedPixels > 0)
    parts << QStringLiteral("%1 pixels change color").arg(QLocale(QLocale::English).toString(static_cast<qlonglong>(d.ChangedPixels)));
  if (d.TimingChanged) parts << QStringLiteral("the frame timing changes");
  if (d.LoopChanged) parts << QStringLiteral("the loop count changes");
  return QStringLiteral("In the optimized animation ") + parts.join(QStringLiteral(", ")) + QStringLiteral(".");
}

TMDIChild* OpenAsNewDocument(TDocuments& documents, std::unique_ptr<TGIFImage> image) {
  TMDIChild* document = documents.NewDocument(std::move(image));
  if (document) document->SetModified(true);
  return document;
}

bool ReplaceWithOptimized(TMDIChild& document, TGIFImage& optimized) {
  try {
    RecordAnimationChange(document, std::max(0, document.CurrentFrame), Tr(undo_captions::kGifOptimization));
  } catch (const std::exception& e) {
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    return false;
  }
  TGIFImage& image = *SharedImage();
  image.Assign(optimized);
  document.CurrentFrame = 0;
  document.SetModified(true);
  EditorView()->FrameCountChanged(image.Images().GetCount());
  EditorView()->SetSelection(0, 0);
  return true;
}

}  // namespace movinta::editor::forms
