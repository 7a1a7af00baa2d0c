// APNG in through FFmpeg's demuxer and decoder (which composes each frame with its blend and dispose
// operations onto the canvas), and APNG, MP4 (H.264) and WebM (VP9) out through its encoders and muxers,
// with every frame's own duration on a millisecond time line.
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <new>

#include "platform/picture_module/module_parts.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace lw::pictures {
namespace {

// Converts decoded frames of any pixel format into packed RGBA rows without padding.
class RgbaConverter {
 public:
  ~RgbaConverter() {
    sws_freeContext(sws_);
    av_frame_free(&scaled_);
  }

  bool Convert(const AVFrame* in, std::vector<uint8_t>* rgba) {
    const int w = in->width, h = in->height;
    // The scaler writes whole aligned blocks: it fills a frame of FFmpeg's own padding first.
    if (!scaled_ || scaled_->width != w || scaled_->height != h) {
      av_frame_free(&scaled_);
      scaled_ = av_frame_alloc();
      if (!scaled_) return false;
      scaled_->format = AV_PIX_FMT_RGBA;
      scaled_->width = w;
      scaled_->height = h;
      if (av_frame_get_buffer(scaled_, 64) < 0) return false;
    }
    sws_ = sws_getCachedContext(sws_, w, h, static_cast<AVPixelFormat>(in->format), w, h, AV_PIX_FMT_RGBA,
                                SWS_POINT, nullptr, nullptr, nullptr);
    if (!sws_ || sws_scale(sws_, in->data, in->linesize, 0, h, scaled_->data, scaled_->linesize) != h)
      return false;
    const size_t row = static_cast<size_t>(w) * 4;
    try {
      rgba->resize(row * static_cast<size_t>(h));
    } catch (const std::bad_alloc&) {
      return false;
    }
    for (int y = 0; y < h; ++y)
      std::memcpy(rgba->data() + row * static_cast<size_t>(y),
                  scaled_->data[0] + static_cast<ptrdiff_t>(y) * scaled_->linesize[0], row);
    return true;
  }

 private:
  SwsContext* sws_ = nullptr;
  AVFrame* scaled_ = nullptr;
};

class ApngSource : public PictureSource {
 public:
  ~ApngSource() override {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
  }

  bool Open(const std::string& path, const PictureLimits& limits, std::string* error) {
    limits_ = limits;
    const AVInputFormat* apng = av_find_input_format("apng");
    if (!apng) return Fail(error, "no APNG support in this FFmpeg");
    if (avformat_open_input(&format_, path.c_str(), apng, nullptr) < 0)
      return Fail(error, "damaged APNG headers");
    if (format_->nb_streams < 1) return Fail(error, "no picture stream");
    AVStream* st = format_->streams[0];
    const AVCodecParameters* par = st->codecpar;
    if (!CanvasWithin(static_cast<uint64_t>(std::max(par->width, 0)),
                      static_cast<uint64_t>(std::max(par->height, 0)), limits))
      return Fail(error, "picture too large");
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    codec_ = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!codec_ || avcodec_parameters_to_context(codec_, par) < 0) return Fail(error, "no decoder");
    codec_->thread_count = 1;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) return Fail(error, "decoder does not open");
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_) return Fail(error, "out of memory");
    timeBase_ = st->time_base;
    info_.format = PictureFormat::kApng;
    info_.width = par->width;
    info_.height = par->height;
    return true;
  }

  const PictureInfo& Info() const override { return info_; }

  int NextFrame(PictureFrame* out, std::string* error) override {
    for (;;) {
      int r = avcodec_receive_frame(codec_, frame_);
      if (r == 0) {
        if (frame_->width != info_.width || frame_->height != info_.height) {
          av_frame_unref(frame_);
          *error = "frame larger than the canvas";
          return -1;
        }
        if (limits_.maxFrames && ++frames_ > limits_.maxFrames) {
          av_frame_unref(frame_);
          *error = "too many frames";
          return -1;
        }
        // Frames come out in the order their packets went in: each takes the oldest packet duration.
        int64_t duration = 0;
        if (!durations_.empty()) {
          duration = durations_.front();
          durations_.pop_front();
        }
        bool ok = converter_.Convert(frame_, &out->rgba);
        av_frame_unref(frame_);
        if (!ok) {
          *error = "out of memory";
          return -1;
        }
        out->durationMs = static_cast<uint32_t>(
            std::clamp<int64_t>(av_rescale_q(duration, timeBase_, {1, 1000}), 0, 1 << 30));
        return 1;
      }
      if (r == AVERROR_EOF) return 0;
      if (r != AVERROR(EAGAIN)) {
        *error = "damaged APNG frame";
        return -1;
      }
      if (drained_) return 0;
      if (av_read_frame(format_, packet_) < 0) {
        drained_ = true;
        avcodec_send_packet(codec_, nullptr);
        continue;
      }
      if (packet_->stream_index != 0) {
        av_packet_unref(packet_);
        continue;
      }
      durations_.push_back(packet_->duration);
      r = avcodec_send_packet(codec_, packet_);
      av_packet_unref(packet_);
      if (r < 0) {
        *error = "damaged APNG frame";
        return -1;
      }
    }
  }

 private:
  static bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
  }

  PictureLimits limits_;
  PictureInfo info_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVRational timeBase_{1, 1000};
  RgbaConverter converter_;
  std::deque<int64_t> durations_;
  uint32_t frames_ = 0;
  bool drained_ = false;
};

class FfmpegSink : public PictureSink {
 public:
  ~FfmpegSink() override {
    if (format_ && opened_ && !finished_) avio_closep(&format_->pb);
    sws_freeContext(sws_);
    av_frame_free(&frame_);
    av_frame_free(&source_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_free_context(format_);
  }

  bool Open(const std::string& path, const PictureSinkOptions& options, std::string* error) {
    options_ = options;
    const char* muxer = "webm";
    const char* encoderName = "libvpx-vp9";
    if (options.format == MovieFormat::kApng) muxer = encoderName = "apng";
    if (options.format == MovieFormat::kMp4) muxer = "mp4", encoderName = "libx264";
    if (options.format == MovieFormat::kPngFrames) muxer = "image2", encoderName = "png";
    if (avformat_alloc_output_context2(&format_, nullptr, muxer, path.c_str()) < 0 || !format_)
      return Fail(error, "no such container in this FFmpeg");
    const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName);
    if (!encoder) return Fail(error, "no such encoder in this FFmpeg");
    AVStream* st = avformat_new_stream(format_, nullptr);
    codec_ = avcodec_alloc_context3(encoder);
    if (!st || !codec_) return Fail(error, "out of memory");
    const bool video = options.format == MovieFormat::kMp4 || options.format == MovieFormat::kWebm;
    // 4:2:0 video needs even sides: the picture is padded by a row or a column of its own edge.
    codec_->width = video ? (options.width + 1) & ~1 : options.width;
    codec_->height = video ? (options.height + 1) & ~1 : options.height;
    codec_->pix_fmt = video ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_RGBA;
    codec_->time_base = {1, 1000};
    codec_->framerate = {0, 1};
    codec_->thread_count = 1;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* codecOptions = nullptr;
    if (options.format == MovieFormat::kMp4) {
      av_dict_set(&codecOptions, "crf", "18", 0);
      av_dict_set(&codecOptions, "preset", "medium", 0);
    } else if (options.format == MovieFormat::kWebm) {
      av_dict_set(&codecOptions, "crf", "30", 0);
      av_dict_set(&codecOptions, "b", "0", 0);
      av_dict_set(&codecOptions, "deadline", "good", 0);
      av_dict_set(&codecOptions, "cpu-used", "4", 0);
    }
    int r = avcodec_open2(codec_, encoder, &codecOptions);
    av_dict_free(&codecOptions);
    if (r < 0) return Fail(error, "the encoder does not start");
    if (avcodec_parameters_from_context(st->codecpar, codec_) < 0)
      return Fail(error, "the encoder does not start");
    st->time_base = codec_->time_base;
    if (!(format_->oformat->flags & AVFMT_NOFILE) &&
        avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
      return Fail(error, "cannot be written");
    opened_ = true;
    AVDictionary* muxOptions = nullptr;
    if (options.format == MovieFormat::kApng)
      av_dict_set_int(&muxOptions, "plays", std::min<uint32_t>(options.loopCount, 65535), 0);
    r = avformat_write_header(format_, &muxOptions);
    av_dict_free(&muxOptions);
    if (r < 0) return Fail(error, "cannot be written");
    stream_ = st;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!frame_ || !packet_) return Fail(error, "out of memory");
    frame_->format = codec_->pix_fmt;
    frame_->width = codec_->width;
    frame_->height = codec_->height;
    if (av_frame_get_buffer(frame_, 64) < 0) return Fail(error, "out of memory");
    // The scaler's vector code reads past the end of its source rows: the source is a frame of
    // FFmpeg's own, padded and aligned by its rules.
    source_ = av_frame_alloc();
    if (!source_) return Fail(error, "out of memory");
    source_->format = AV_PIX_FMT_RGBA;
    source_->width = codec_->width;
    source_->height = codec_->height;
    if (av_frame_get_buffer(source_, 64) < 0) return Fail(error, "out of memory");
    ClearBuffers(frame_);
    ClearBuffers(source_);
    return true;
  }

  bool AddFrame(const uint8_t* rgba, uint32_t durationMs, std::string* error) override {
    // The encoder may still hold the last frame: then it gets new buffers, cleared like the first.
    const uint8_t* held = frame_->buf[0] ? frame_->buf[0]->data : nullptr;
    if (av_frame_make_writable(frame_) < 0) return Fail(error, "out of memory");
    if (!frame_->buf[0] || frame_->buf[0]->data != held) ClearBuffers(frame_);
    const int w = options_.width, h = options_.height, cw = codec_->width, ch = codec_->height;
    const size_t row = static_cast<size_t>(w) * 4;
    for (int y = 0; y < ch; ++y) {
      uint8_t* d = source_->data[0] + static_cast<ptrdiff_t>(y) * source_->linesize[0];
      std::memcpy(d, rgba + row * static_cast<size_t>(std::min(y, h - 1)), row);
      if (cw > w) std::memcpy(d + row, d + row - 4, 4);
    }
    sws_ = sws_getCachedContext(sws_, cw, ch, AV_PIX_FMT_RGBA, cw, ch, codec_->pix_fmt, SWS_BICUBIC, nullptr,
                                nullptr, nullptr);
    if (!sws_ ||
        sws_scale(sws_, source_->data, source_->linesize, 0, ch, frame_->data, frame_->linesize) != ch)
      return Fail(error, "conversion failed");
    frame_->pts = pts_;
    lastDurationMs_ = durationMs;
    durations_[pts_] = durationMs;
    pts_ += durationMs;
    return Send(frame_, error);
  }

  bool Finish(std::string* error) override {
    if (!Send(nullptr, error)) return false;
    // The APNG muxer holds back the last frame until the trailer, and gives it the delay of the one
    // before unless told its own.
    if (options_.format == MovieFormat::kApng && format_->priv_data)
      av_opt_set_q(format_->priv_data, "final_delay", AVRational{static_cast<int>(lastDurationMs_), 1000}, 0);
    finished_ = true;
    bool ok = av_write_trailer(format_) == 0;
    if (!(format_->oformat->flags & AVFMT_NOFILE) && avio_closep(&format_->pb) < 0) ok = false;
    if (!ok) return Fail(error, "cannot be written");
    return true;
  }

 private:
  static bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
  }

  // The padding past the rows is read too, by the scaler and by the encoders' vector code: never left
  // uninitialised.
  static void ClearBuffers(AVFrame* f) {
    for (AVBufferRef* b : f->buf)
      if (b) std::memset(b->data, 0, b->size);
  }

  bool Send(AVFrame* frame, std::string* error) {
    if (avcodec_send_frame(codec_, frame) < 0) return Fail(error, "the encoder failed");
    for (;;) {
      int r = avcodec_receive_packet(codec_, packet_);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return Fail(error, "the encoder failed");
      // Every packet carries its own frame's duration, so the player keeps each delay.
      if (auto it = durations_.find(packet_->pts); it != durations_.end()) {
        packet_->duration = it->second;
        durations_.erase(it);
      }
      av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
      packet_->stream_index = stream_->index;
      r = av_interleaved_write_frame(format_, packet_);
      av_packet_unref(packet_);
      if (r < 0) return Fail(error, "cannot be written");
    }
  }

  PictureSinkOptions options_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVStream* stream_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* sws_ = nullptr;
  AVFrame* source_ = nullptr;  // the frame's pixels in RGBA, even sizes
  std::map<int64_t, int64_t> durations_;
  int64_t pts_ = 0;
  uint32_t lastDurationMs_ = 0;
  bool opened_ = false;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<PictureSource> OpenApng(const std::string& path, const PictureLimits& limits,
                                        std::string* error) {
  auto source = std::make_unique<ApngSource>();
  if (!source->Open(path, limits, error)) return nullptr;
  return source;
}

std::unique_ptr<PictureSink> OpenFfmpegSink(const std::string& path, const PictureSinkOptions& options,
                                            std::string* error) {
  auto sink = std::make_unique<FfmpegSink>();
  if (!sink->Open(path, options, error)) return nullptr;
  return sink;
}

}  // namespace lw::pictures
