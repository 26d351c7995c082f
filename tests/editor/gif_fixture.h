// Small animations built in code for the editor's model tests.
#pragma once

#include "editor/model/working_image.h"

#include <QFile>

#include <memory>

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

}  // namespace movinta::editor::testing
