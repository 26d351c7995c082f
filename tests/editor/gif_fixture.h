// Small animations built in code for the editor's model tests.
#pragma once

#include "editor/model/working_image.h"
#include "gif/render/compositor.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <memory>
#include <vector>

namespace movinta::editor::testing {

// frames frames of width x height over a 4-colour global table; frame i is filled with colour
// index i % 4 and has a graphic control extension with delay 10 * (i + 1).
inline std::unique_ptr<gif::TGIFImage> MakeAnimation(int frames, int width = 4, int height = 3) {
  auto image = std::make_unique<gif::TGIFImage>();
  for (gif::TColor c : {0x000000u, 0xFFFFFFu, 0x0000FFu, 0x00FF00u}) image->GetGlobalColorMap().Add(c);
  for (int i = 0; i < frames; ++i) {
    auto* frame = new gif::TGIFSubImage(image.get());
    frame->SetBounds(0, 0, width, height);
    for (std::size_t p = 0; p < frame->DataSize(); ++p) frame->Data()[p] = static_cast<std::uint8_t>(i % 4);
    image->Add(frame);
    SetFrameDelay(*frame, 10 * (i + 1));
  }
  return image;
}

inline void SetPixels(gif::TGIFSubImage& frame, std::initializer_list<int> values) {
  std::size_t i = 0;
  for (int v : values)
    if (i < frame.DataSize()) frame.Data()[i++] = static_cast<std::uint8_t>(v);
}

// Two 2 x 2 frames over the global table black, white, red, black: entry 3 repeats entry 0, entry 2
// is unused.
inline std::unique_ptr<gif::TGIFImage> MakeTwinBlackAnimation() {
  auto image = MakeAnimation(2, 2, 2);
  gif::TGIFColorMap& g = image->GetGlobalColorMap();
  g.Clear();
  for (gif::TColor c : {0x000000u, 0xFFFFFFu, 0x0000FFu, 0x000000u}) g.Add(c);
  SetPixels(*image->Images().GetFrame(0), {0, 1, 3, 1});
  SetPixels(*image->Images().GetFrame(1), {3, 3, 1, 0});
  return image;
}

// An animation as other programs write them, under the editor's default settings: a 16 x 12
// screen, a global table and frames with local tables, frames at offsets, a transparent frame
// with disposal 2 (background), a loop block for 3 plays, and 448 colours in all. Frame i has
// delay 10 * (i + 1); up to five frames:
//   0: the whole screen over the global table (192 colours), with the loop block;
//   1: 8 x 6 at 3,2 with a local table of 48 colours;
//   2: 10 x 6 at 2,3, local table of 60 colours, transparent index 0 (a third of its pixels),
//      disposal 2;
//   3: the whole screen with a local table of 128 colours (a colour every pixel and a half);
//   4: 6 x 4 at 10,8 over the global table, interlaced.
inline std::unique_ptr<gif::TGIFImage> MakeRealisticAnimation(int frames = 5) {
  auto image = std::make_unique<gif::TGIFImage>();
  image->SetWidth(16);
  image->SetHeight(12);
  // Colour k of table t: distinct across every table (blue tells the tables apart).
  auto colour = [](int table, int k) {
    return static_cast<gif::TColor>((k * 7) & 0xFF) | static_cast<gif::TColor>(k & 0xFF) << 8 |
           static_cast<gif::TColor>(40 + 50 * table) << 16;
  };
  for (int k = 0; k < 192; ++k) image->GetGlobalColorMap().Add(colour(0, k));
  struct Layout {
    int Left, Top, Width, Height, Colours;
  };
  const Layout layouts[] = {{0, 0, 16, 12, 0}, {3, 2, 8, 6, 48}, {2, 3, 10, 6, 60}, {0, 0, 16, 12, 128}, {10, 8, 6, 4, 0}};
  for (int i = 0; i < frames && i < 5; ++i) {
    const Layout& l = layouts[i];
    auto* frame = new gif::TGIFSubImage(image.get());
    image->Add(frame);
    frame->SetBounds(l.Left, l.Top, l.Width, l.Height);
    for (int k = 0; k < l.Colours; ++k) frame->ColorMap().Add(colour(i, k));
    const int colours = l.Colours > 0 ? l.Colours : 192;
    for (std::size_t p = 0; p < frame->DataSize(); ++p)
      frame->Data()[p] = static_cast<std::uint8_t>((p * 2 / 3 + static_cast<std::size_t>(i)) % static_cast<std::size_t>(colours));
    SetFrameDelay(*frame, 10 * (i + 1));
    if (i == 2) {
      for (std::size_t p = 0; p < frame->DataSize(); p += 3) frame->Data()[p] = 0;
      frame->GraphicControlExtension()->SetTransparentColorIndex(0);
      frame->GraphicControlExtension()->SetTransparent(true);
      frame->GraphicControlExtension()->SetDisposal(gif::dmBackground);
    }
    if (i == 4) frame->SetInterlaced(true);
  }
  if (frames > 0) AddLoopExtension(*image, 0, 3);
  return image;
}

// Delays of the frames, which identify them in these fixtures.
inline std::vector<int> Delays(gif::TGIFImage& image) {
  std::vector<int> out;
  for (int i = 0; i < image.Images().GetCount(); ++i) out.push_back(GetFrameDelay(image, i));
  return out;
}

inline void WriteAnimation(gif::TGIFImage& image, const QString& path) {
  QString error;
  if (!WriteGifFile(image, path, false, &error)) throw std::runtime_error(error.toStdString());
}

inline QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The working image becomes a copy of the fixture.
inline void UseAsWorkingImage(std::unique_ptr<gif::TGIFImage> image) { ReplaceSharedImage(std::move(image)); }

// Every colour table as a GIF file holds it (padded with black to a power of two): the global
// one first, then each frame's own.
inline std::vector<std::vector<gif::TColor>> Tables(gif::TGIFImage& image) {
  std::vector<std::vector<gif::TColor>> out;
  auto add = [&out](gif::TGIFColorMap& map) {
    std::vector<gif::TColor> colours;
    for (int i = 0; i < map.GetCount(); ++i) colours.push_back(map.GetColor(i));
    std::size_t size = colours.empty() ? 0 : 2;
    while (size < colours.size()) size *= 2;
    colours.resize(size, 0);
    out.push_back(colours);
  };
  add(image.GetGlobalColorMap());
  for (int i = 0; i < image.Images().GetCount(); ++i) add(image.Images().GetFrame(i)->ColorMap());
  return out;
}

// Every frame as the screen shows it, over white.
inline std::vector<gif::Bitmap> Composited(gif::TGIFImage& image) {
  std::vector<gif::Bitmap> out;
  gif::TGIFCompositor screen(image);
  for (int i = 0; i < image.Images().GetCount(); ++i) out.push_back(screen.Render(i));
  return out;
}

// The bytes of a red PNG picture of width x height, as a picture file holds them.
inline QByteArray RedPngBytes(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return bytes;
}

}  // namespace movinta::editor::testing
