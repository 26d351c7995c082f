#include "platform/video/video_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace movinta::platform {

struct VideoReader::State {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* decoded = nullptr;
  SwsContext* scaler = nullptr;
  int stream = -1;
  bool draining = false;
  bool finished = false;
  std::uint64_t maxFramePixels = 0;

  ~State() {
    sws_freeContext(scaler);
    av_frame_free(&decoded);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }

  void CheckSize(int width, int height) const {
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > maxFramePixels)
      throw VideoError("frame size out of range");
  }

  // The next decoded picture in `decoded`; false at the end.
  bool Receive() {
    for (;;) {
      const int got = avcodec_receive_frame(codec, decoded);
      if (got == 0) return true;
      if (got == AVERROR_EOF) return false;
      if (got != AVERROR(EAGAIN)) throw VideoError("cannot decode a frame");
      if (draining) return false;
      // Feed the decoder the next packet of our stream, or tell it the input has ended.
      for (;;) {
        const int read = av_read_frame(format, packet);
        if (read < 0) {
          draining = true;
          avcodec_send_packet(codec, nullptr);
          break;
        }
        const bool ours = packet->stream_index == stream;
        const int sent = ours ? avcodec_send_packet(codec, packet) : 0;
        av_packet_unref(packet);
        if (sent < 0 && sent != AVERROR(EAGAIN)) throw VideoError("cannot decode a frame");
        if (ours) break;
      }
    }
  }
};

VideoReader::VideoReader(const std::string& path, std::uint64_t maxFramePixels) : state_(std::make_unique<State>()) {
  av_log_set_level(AV_LOG_QUIET);
  State& s = *state_;
  s.maxFramePixels = maxFramePixels;
  if (avformat_open_input(&s.format, path.c_str(), nullptr, nullptr) < 0)
    throw OpenError(Step::Open, "cannot open the file");
  if (avformat_find_stream_info(s.format, nullptr) < 0) throw OpenError(Step::Stream, "no stream information");
  for (unsigned i = 0; i < s.format->nb_streams; ++i)
    if (s.format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      s.stream = static_cast<int>(i);
      break;
    }
  if (s.stream < 0) throw OpenError(Step::Stream, "no video stream");
  const AVCodecParameters* parameters = s.format->streams[s.stream]->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
  if (!decoder) throw OpenError(Step::Decoder, "no decoder for the stream");
  s.codec = avcodec_alloc_context3(decoder);
  s.packet = av_packet_alloc();
  s.decoded = av_frame_alloc();
  if (!s.codec || !s.packet || !s.decoded) throw OpenError(Step::Decoder, "out of memory");
  if (avcodec_parameters_to_context(s.codec, parameters) < 0 || avcodec_open2(s.codec, decoder, nullptr) < 0)
    throw OpenError(Step::Decoder, "cannot start the decoder");
  try {
    s.CheckSize(parameters->width, parameters->height);
  } catch (const VideoError& e) {
    throw OpenError(Step::Decoder, e.what());
  }
}

VideoReader::~VideoReader() = default;

int VideoReader::Width() const { return state_->format->streams[state_->stream]->codecpar->width; }
int VideoReader::Height() const { return state_->format->streams[state_->stream]->codecpar->height; }
std::int64_t VideoReader::FrameCountHint() const { return state_->format->streams[state_->stream]->nb_frames; }

bool VideoReader::Next(VideoFrame& out) {
  State& s = *state_;
  if (s.finished) return false;
  if (!s.Receive()) {
    s.finished = true;
    return false;
  }
  AVFrame* f = s.decoded;
  s.CheckSize(f->width, f->height);
  out.width = f->width;
  out.height = f->height;
  out.palette.clear();
  if (f->format == AV_PIX_FMT_PAL8) {
    out.bitsPerPixel = 8;
    out.rowBytes = std::size_t(f->width);
    out.pixels.resize(out.rowBytes * std::size_t(f->height));
    for (int y = 0; y < f->height; ++y)
      std::memcpy(out.pixels.data() + std::size_t(y) * out.rowBytes, f->data[0] + std::ptrdiff_t(y) * f->linesize[0],
                  out.rowBytes);
    const auto* entries = reinterpret_cast<const std::uint32_t*>(f->data[1]);
    out.palette.resize(256);
    for (int i = 0; i < 256; ++i)
      out.palette[std::size_t(i)] = {std::uint8_t(entries[i] >> 16), std::uint8_t(entries[i] >> 8),
                                     std::uint8_t(entries[i])};
  } else {
    out.bitsPerPixel = 24;
    out.rowBytes = std::size_t(f->width) * 3;
    out.pixels.resize(out.rowBytes * std::size_t(f->height));
    s.scaler = sws_getCachedContext(s.scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                    f->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
    if (!s.scaler) throw VideoError("cannot convert a frame");
    std::uint8_t* planes[4] = {out.pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(out.rowBytes), 0, 0, 0};
    if (sws_scale(s.scaler, f->data, f->linesize, 0, f->height, planes, strides) != f->height)
      throw VideoError("cannot convert a frame");
  }
  av_frame_unref(f);
  return true;
}

}  // namespace movinta::platform
