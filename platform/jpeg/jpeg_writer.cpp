#include "platform/jpeg/jpeg_writer.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "gif/gifimage.h"
#include "gif/stream.h"

namespace movinta::platform {

namespace {

// libjpeg's errors end in error_exit; ours returns to the encoder's setjmp
// point with the text, and the encoder throws once libjpeg is cleaned up
// (an exception must not unwind through libjpeg's C frames).
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->jump, 1);
}

// Warnings (corrupt data and the like) matter when reading, not here.
void OutputMessage(j_common_ptr) {}

J_COLOR_SPACE ColourSpace(JpegPixelLayout layout) {
  switch (layout) {
    case JpegPixelLayout::Bgr:
      return JCS_EXT_BGR;
    case JpegPixelLayout::Bgrx:
      return JCS_EXT_BGRX;
    case JpegPixelLayout::Rgb:
      break;
  }
  return JCS_RGB;
}

int Components(JpegPixelLayout layout) { return layout == JpegPixelLayout::Bgrx ? 4 : 3; }

// Everything libjpeg touches lives here, so that nothing with a destructor is
// skipped by the jump back.
struct Encoder {
  jpeg_compress_struct info{};
  ErrorManager errors{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<JSAMPROW> rows;
};

// 0 on success; else errors.message holds libjpeg's text.
int Run(Encoder& e, const JpegPixels& pixels, const JpegOptions& options) {
  e.info.err = jpeg_std_error(&e.errors.base);
  e.errors.base.error_exit = ErrorExit;
  e.errors.base.output_message = OutputMessage;
  if (setjmp(e.errors.jump)) return 1;
  jpeg_create_compress(&e.info);
  jpeg_mem_dest(&e.info, &e.buffer, &e.size);
  e.info.image_width = JDIMENSION(pixels.Width);
  e.info.image_height = JDIMENSION(pixels.Height);
  e.info.input_components = Components(pixels.Layout);
  e.info.in_color_space = ColourSpace(pixels.Layout);
  jpeg_set_defaults(&e.info);
  if (options.Grayscale) jpeg_set_colorspace(&e.info, JCS_GRAYSCALE);
  if (options.FullChroma)
    for (int c = 0; c < e.info.num_components; ++c)
      e.info.comp_info[c].h_samp_factor = e.info.comp_info[c].v_samp_factor = 1;
  jpeg_set_quality(&e.info, std::clamp(options.Quality, 1, 100), TRUE);
  e.info.dct_method = options.FastDct ? JDCT_IFAST : JDCT_ISLOW;
  if (options.Progressive) jpeg_simple_progression(&e.info);
  jpeg_start_compress(&e.info, TRUE);
  while (e.info.next_scanline < e.info.image_height) {
    const JDIMENSION done =
        jpeg_write_scanlines(&e.info, e.rows.data() + e.info.next_scanline, e.info.image_height - e.info.next_scanline);
    if (done == 0) break;
  }
  jpeg_finish_compress(&e.info);
  return 0;
}

}  // namespace

JpegPixels PixelsOf(const gif::Bitmap& bitmap) {
  JpegPixels p;
  p.Data = bitmap.Bits();
  p.Width = bitmap.Width();
  p.Height = bitmap.Height();
  p.Stride = bitmap.RowBytes();
  if (bitmap.Format() == gif::PixelFormat::pf24bit)
    p.Layout = JpegPixelLayout::Bgr;
  else if (bitmap.Format() == gif::PixelFormat::pf32bit)
    p.Layout = JpegPixelLayout::Bgrx;
  else
    throw JpegError("JPEG pictures are made from 24- or 32-bit bitmaps only");
  return p;
}

std::vector<std::uint8_t> EncodeJpeg(const JpegPixels& pixels, const JpegOptions& options) {
  if (pixels.Width <= 0 || pixels.Height <= 0 || pixels.Width > JPEG_MAX_DIMENSION ||
      pixels.Height > JPEG_MAX_DIMENSION)
    throw JpegError("Maximum supported image dimension is " + std::to_string(JPEG_MAX_DIMENSION) + " pixels");
  if (!pixels.Data) throw JpegError("No pixels to encode");
  Encoder e;
  e.rows.resize(std::size_t(pixels.Height));
  for (int y = 0; y < pixels.Height; ++y)
    e.rows[std::size_t(y)] = const_cast<JSAMPROW>(pixels.Data + std::size_t(y) * pixels.Stride);
  const int failed = Run(e, pixels, options);
  std::vector<std::uint8_t> bytes;
  if (!failed) bytes.assign(e.buffer, e.buffer + e.size);
  jpeg_destroy_compress(&e.info);
  std::free(e.buffer);
  if (failed) throw JpegError(e.errors.message);
  return bytes;
}

void WriteJpegFile(const std::string& path, const JpegPixels& pixels, const JpegOptions& options) {
  const std::vector<std::uint8_t> bytes = EncodeJpeg(pixels, options);
  try {
    gif::WriteFileAtomically(path, bytes);
  } catch (const gif::GIFException& e) {
    throw JpegError(e.what());
  }
}

}  // namespace movinta::platform
