// The video source on FFmpeg: libavformat finds and demuxes the stream, libavcodec decodes it, libswscale
// brings full-colour frames to bottom-line DIB pixel formats (5-5-5 for 16 bits, blue-green-red for 24).
// Built as a module of its own that the engine loads on the first movie it opens, so that the programs do
// not bind FFmpeg and its hundred-odd libraries every time they start.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "model/byte_order.h"
#include "platform/video_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace lw {
namespace {

constexpr int kMaxSide = 32767;

class FfmpegVideoSource : public VideoSource {
 public:
  ~FfmpegVideoSource() override {
    sws_freeContext(sws_);
    av_frame_free(&scaled_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
  }

  bool Open(const std::string& path, const VideoLimit& limit, uint64_t maxFramePixels, std::string* error) {
    limit_ = limit;
    if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return Fail(error, "not readable");
    if (avformat_find_stream_info(format_, nullptr) < 0) return Fail(error, "no stream information");
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream_ < 0 || !decoder) return Fail(error, "no video stream");
    AVStream* st = format_->streams[stream_];
    const AVCodecParameters* par = st->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > kMaxSide || par->height > kMaxSide ||
        static_cast<uint64_t>(par->width) * static_cast<uint64_t>(par->height) > maxFramePixels)
      return Fail(error, "frame size out of bounds");
    sourceWidth_ = info_.width = par->width;
    sourceHeight_ = info_.height = par->height;
    if (limit.width > 0 || limit.height > 0) {
      const double w =
          limit.width > 0 ? limit.width : std::round(double(par->width) * limit.height / par->height);
      const double h =
          limit.height > 0 ? limit.height : std::round(double(par->height) * limit.width / par->width);
      if (!(w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide) ||
          static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > maxFramePixels)
        return Fail(error, "scaled frame size out of bounds");
      info_.width = static_cast<int32_t>(w);
      info_.height = static_cast<int32_t>(h);
    }
    const bool scaled = info_.width != par->width || info_.height != par->height;
    isAvi_ = std::strcmp(format_->iformat->name, "avi") == 0;
    const auto pixFmt = static_cast<AVPixelFormat>(par->format);
    if (isAvi_ && par->bits_per_coded_sample > 0) {
      info_.bitCount = par->bits_per_coded_sample;
      if (info_.bitCount == 8 && pixFmt != AV_PIX_FMT_PAL8 && pixFmt != AV_PIX_FMT_GRAY8) info_.bitCount = 24;
      if (info_.bitCount == 15) info_.bitCount = 16;
    } else {
      info_.bitCount = pixFmt == AV_PIX_FMT_PAL8 ? 8 : 24;
    }
    if (scaled) info_.bitCount = 24;  // the filter mixes colours: no palette holds them
    if (isAvi_ && limit.fps <= 0) {
      // The demuxer's time base is the stream's scale / rate (reduced), and time stamps count samples.
      if (st->time_base.num <= 0 || st->time_base.den <= 0) return Fail(error, "bad time base");
      info_.scale = static_cast<uint32_t>(st->time_base.num);
      info_.rate = static_cast<uint32_t>(st->time_base.den);
    } else {
      // Other containers keep time in their own units: the time line is cut into hundredths (or into the
      // asked frame rate's samples).
      info_.scale = 1;
      info_.rate = limit.fps > 0 ? static_cast<uint32_t>(std::clamp(limit.fps, 1.0, 1000.0)) : 100;
    }
    double seconds = 0;
    if (st->duration > 0)
      seconds = static_cast<double>(st->duration) * av_q2d(st->time_base);
    else if (format_->duration > 0)
      seconds = static_cast<double>(format_->duration) / AV_TIME_BASE;
    if (limit.start > 0) seconds = std::max(0.0, seconds - limit.start);
    if (limit.duration > 0) seconds = std::min(seconds, limit.duration);
    double samples = seconds * info_.rate / info_.scale;
    if (isAvi_ && limit.fps <= 0 && st->nb_frames > 0 && limit.start <= 0 && limit.duration <= 0)
      samples = static_cast<double>(st->nb_frames);
    info_.length = static_cast<uint32_t>(std::clamp(samples, 0.0, 1e9));

    codec_ = avcodec_alloc_context3(decoder);
    if (!codec_ || avcodec_parameters_to_context(codec_, par) < 0) return Fail(error, "no decoder");
    codec_->thread_count = 1;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) return Fail(error, "decoder does not open");
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_) return Fail(error, "out of memory");
    if (limit.start > 0) {
      int64_t target = static_cast<int64_t>(limit.start / av_q2d(st->time_base));
      av_seek_frame(format_, stream_, target, AVSEEK_FLAG_BACKWARD);
    }
    // Depths other than these are refused by the caller with its own message: nothing is decoded for them.
    if (info_.bitCount != 8 && info_.bitCount != 16 && info_.bitCount != 24) return true;
    // The first frame gives an 8-bit stream's colour table.
    int first = Decode(&pending_);
    if (first < 0) return Fail(error, "first frame not decoded");
    hasPending_ = first > 0;
    if (info_.bitCount == 8 && hasPending_) {
      info_.colorTable.assign(pending_.dib.begin() + 40, pending_.dib.begin() + 40 + 1024);
      // The demuxer keeps the format's colour table as the extra data, with a "BottomUp" marker after it
      // for bottom-up raw frames: its size gives the colours-used count.
      int tableBytes = par->extradata ? par->extradata_size : 0;
      static const char kMarker[] = "BottomUp";
      if (tableBytes >= 9 && std::memcmp(par->extradata + tableBytes - 9, kMarker, 9) == 0) tableBytes -= 9;
      if (isAvi_ && tableBytes >= 4 && tableBytes <= 1024)
        info_.colorsUsed = static_cast<uint32_t>(tableBytes) / 4;
    }
    return true;
  }

  const VideoStreamInfo& Info() const override { return info_; }

  int NextFrame(VideoFrame* frame) override {
    if (hasPending_) {
      hasPending_ = false;
      *frame = std::move(pending_);
      return 1;
    }
    return Decode(frame);
  }

 private:
  static bool Fail(std::string* error, const char* text) {
    if (error) *error = text;
    return false;
  }

  // 1 with the next frame at a new position, 0 at the end (or past the window), -1 on a decoder failure.
  int Decode(VideoFrame* out) {
    AVStream* st = format_->streams[stream_];
    for (;;) {
      int r = avcodec_receive_frame(codec_, frame_);
      if (r == 0) {
        int64_t pts = frame_->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) pts = lastPts_ == AV_NOPTS_VALUE ? 0 : lastPts_ + 1;
        lastPts_ = pts;
        double t = static_cast<double>(pts) * av_q2d(st->time_base);
        if (t + 1e-9 < limit_.start) {
          av_frame_unref(frame_);
          continue;
        }
        if (limit_.duration > 0 && t >= limit_.start + limit_.duration) {
          av_frame_unref(frame_);
          return 0;
        }
        int64_t position;
        if (isAvi_ && limit_.fps <= 0) {
          position = pts - startPts();
        } else {
          position = static_cast<int64_t>(std::floor((t - limit_.start) * info_.rate / info_.scale + 1e-6));
        }
        if (position < 0) position = 0;
        if (position > 0xFFFFFFF0LL) {
          av_frame_unref(frame_);
          return 0;
        }
        if (havePosition_ && position <= lastPosition_) {
          av_frame_unref(frame_);  // two frames on one sample: the first one stands
          continue;
        }
        int made = ToDib(out);
        av_frame_unref(frame_);
        if (made < 0) return -1;
        out->position = static_cast<uint32_t>(position);
        lastPosition_ = position;
        havePosition_ = true;
        return 1;
      }
      if (r == AVERROR_EOF) return 0;
      if (r != AVERROR(EAGAIN)) return -1;
      // The decoder wants input.
      if (drained_) return 0;
      int read = av_read_frame(format_, packet_);
      if (read < 0) {
        drained_ = true;
        avcodec_send_packet(codec_, nullptr);
        continue;
      }
      if (packet_->stream_index != stream_ || packet_->size == 0) {
        av_packet_unref(packet_);  // empty samples hold no data: the previous frame lasts over them
        continue;
      }
      r = avcodec_send_packet(codec_, packet_);
      av_packet_unref(packet_);
      if (r < 0 && r != AVERROR(EAGAIN) && r != AVERROR_INVALIDDATA) return -1;
    }
  }

  int64_t startPts() {
    if (firstPts_ == AV_NOPTS_VALUE) {
      AVStream* st = format_->streams[stream_];
      firstPts_ = st->start_time != AV_NOPTS_VALUE ? std::min<int64_t>(st->start_time, 0) : 0;
    }
    return firstPts_;
  }

  int ToDib(VideoFrame* out) {
    if (frame_->width != sourceWidth_ || frame_->height != sourceHeight_) return -1;
    const int w = info_.width, h = info_.height;
    const int bits = info_.bitCount;
    const size_t stride = static_cast<size_t>((w * bits + 31) / 32 * 4);
    const size_t table = bits == 8 ? 1024 : 0;
    try {
      out->dib.assign(40 + table + stride * static_cast<size_t>(h), 0);
    } catch (const std::bad_alloc&) {
      return -1;
    }
    uint8_t* p = out->dib.data();
    PutLe32(p, 40);
    PutLe32(p + 4, static_cast<uint32_t>(w));
    PutLe32(p + 8, static_cast<uint32_t>(-h));  // top-down
    PutLe16(p + 12, 1);
    PutLe16(p + 14, static_cast<uint32_t>(bits));
    PutLe32(p + 32, bits == 8 ? 256 : 0);
    uint8_t* rows = p + 40 + table;
    const auto fmt = static_cast<AVPixelFormat>(frame_->format);
    if (bits == 8) {
      if (fmt == AV_PIX_FMT_PAL8) {
        std::memcpy(p + 40, frame_->data[1], 1024);  // native 0xAARRGGBB: blue, green, red, alpha
      } else if (fmt == AV_PIX_FMT_GRAY8) {
        for (int i = 0; i < 256; ++i) std::memset(p + 40 + 4 * i, i, 3);
      } else {
        return -1;
      }
      for (int i = 0; i < 256; ++i) p[40 + 4 * i + 3] = 0;
      for (int y = 0; y < h; ++y)
        std::memcpy(rows + stride * static_cast<size_t>(y),
                    frame_->data[0] + static_cast<ptrdiff_t>(y) * frame_->linesize[0],
                    static_cast<size_t>(w));
      return 1;
    }
    if (bits != 16 && bits != 24) return -1;
    // The scaler's vector code may write past the end of a row and reads and writes whole aligned blocks:
    // it fills a frame of FFmpeg's own alignment and padding, and only the picture's bytes of each row are
    // copied into the DIB.
    const AVPixelFormat target = bits == 16 ? AV_PIX_FMT_RGB555LE : AV_PIX_FMT_BGR24;
    const size_t rowBytes = static_cast<size_t>(w) * (bits == 16 ? 2 : 3);
    if (!scaled_ || scaled_->width != w || scaled_->height != h || scaled_->format != target) {
      av_frame_free(&scaled_);
      scaled_ = av_frame_alloc();
      if (!scaled_) return -1;
      scaled_->format = target;
      scaled_->width = w;
      scaled_->height = h;
      if (av_frame_get_buffer(scaled_, 64) < 0) {
        av_frame_free(&scaled_);
        return -1;
      }
    }
    const bool resize = w != sourceWidth_ || h != sourceHeight_;
    sws_ = sws_getCachedContext(sws_, sourceWidth_, sourceHeight_, fmt, w, h, target,
                                resize ? SWS_LANCZOS | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT : SWS_POINT,
                                nullptr, nullptr, nullptr);
    if (!sws_) return -1;
    if (sws_scale(sws_, frame_->data, frame_->linesize, 0, sourceHeight_, scaled_->data, scaled_->linesize) !=
        h)
      return -1;
    for (int y = 0; y < h; ++y)
      std::memcpy(rows + stride * static_cast<size_t>(y),
                  scaled_->data[0] + static_cast<ptrdiff_t>(y) * scaled_->linesize[0], rowBytes);
    return 1;
  }

  VideoLimit limit_;
  VideoStreamInfo info_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVFrame* scaled_ = nullptr;  // the scaler's output, in FFmpeg's alignment
  SwsContext* sws_ = nullptr;
  int sourceWidth_ = 0, sourceHeight_ = 0;  // the decoder's frames, before scaling
  int stream_ = -1;
  bool isAvi_ = false;
  bool drained_ = false;
  bool hasPending_ = false;
  bool havePosition_ = false;
  int64_t lastPosition_ = 0;
  int64_t lastPts_ = AV_NOPTS_VALUE;
  int64_t firstPts_ = AV_NOPTS_VALUE;
  VideoFrame pending_;
};

}  // namespace

}  // namespace lw

extern "C" {

__attribute__((visibility("default"))) int LwVideoModuleVersion() {
  return lw::kVideoModuleVersion;
}

__attribute__((visibility("default"))) lw::VideoSource* LwOpenVideoSource(const char* path,
                                                                          const lw::VideoLimit* limit,
                                                                          uint64_t maxFramePixels,
                                                                          std::string* error) {
  av_log_set_level(AV_LOG_QUIET);
  auto source = std::make_unique<lw::FfmpegVideoSource>();
  if (!source->Open(path, *limit, maxFramePixels, error)) return nullptr;
  return source.release();
}

}  // extern "C"
