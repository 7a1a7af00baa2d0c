// WebP through libwebp: the demuxer gives the canvas size before anything is decoded, the animation
// decoder composes each frame (offsets, alpha blending, disposal) onto the canvas; stills come through the
// same decoder as one-frame animations. Out: the animation encoder, lossless or lossy.
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstdio>
#include <new>

#include "platform/picture_module/module_parts.h"

namespace lw::pictures {
namespace {

// A WebP file is read whole; none larger than this is taken.
constexpr long kMaxWebpBytes = 1L << 30;

class WebpSource : public PictureSource {
 public:
  ~WebpSource() override { WebPAnimDecoderDelete(decoder_); }

  bool Open(const std::string& path, const PictureLimits& limits, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return Fail(error, "cannot be opened");
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    bool ok = length > 0 && length <= kMaxWebpBytes && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
      try {
        bytes_.resize(static_cast<size_t>(length));
      } catch (const std::bad_alloc&) {
        ok = false;
      }
    }
    ok = ok && std::fread(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
    std::fclose(file);
    if (!ok) return Fail(error, "cannot be read");
    WebPData data{bytes_.data(), bytes_.size()};
    // The demuxer reads only the headers: the canvas and frame count are checked before the decoder
    // allocates its canvas.
    WebPDemuxer* demux = WebPDemux(&data);
    if (!demux) return Fail(error, "damaged WebP headers");
    const uint32_t width = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    const uint32_t frames = WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT);
    info_.loopCount = WebPDemuxGetI(demux, WEBP_FF_LOOP_COUNT);
    WebPDemuxDelete(demux);
    if (!CanvasWithin(width, height, limits)) return Fail(error, "picture too large");
    if (frames == 0) return Fail(error, "no frames");
    if (limits.maxFrames && frames > limits.maxFrames) return Fail(error, "too many frames");
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return Fail(error, "library version mismatch");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    decoder_ = WebPAnimDecoderNew(&data, &options);
    if (!decoder_) return Fail(error, "damaged WebP data");
    info_.format = PictureFormat::kWebp;
    info_.width = static_cast<int32_t>(width);
    info_.height = static_cast<int32_t>(height);
    info_.frameCount = frames;
    return true;
  }

  const PictureInfo& Info() const override { return info_; }

  int NextFrame(PictureFrame* frame, std::string* error) override {
    if (!WebPAnimDecoderHasMoreFrames(decoder_)) return 0;
    uint8_t* pixels = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder_, &pixels, &timestamp)) {
      *error = "damaged WebP frame";
      return -1;
    }
    const size_t bytes = static_cast<size_t>(info_.width) * static_cast<size_t>(info_.height) * 4;
    try {
      frame->rgba.assign(pixels, pixels + bytes);
    } catch (const std::bad_alloc&) {
      *error = "out of memory";
      return -1;
    }
    // The decoder gives each frame's end time; a still has none.
    frame->durationMs = timestamp > lastTimestamp_ ? static_cast<uint32_t>(timestamp - lastTimestamp_) : 0;
    lastTimestamp_ = timestamp;
    return 1;
  }

 private:
  static bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
  }

  std::vector<uint8_t> bytes_;  // the decoder reads from these
  WebPAnimDecoder* decoder_ = nullptr;
  PictureInfo info_;
  int lastTimestamp_ = 0;
};

class WebpSink : public PictureSink {
 public:
  ~WebpSink() override { WebPAnimEncoderDelete(encoder_); }

  bool Open(const std::string& path, const PictureSinkOptions& options, std::string* error) {
    path_ = path;
    options_ = options;
    WebPAnimEncoderOptions encoderOptions;
    if (!WebPAnimEncoderOptionsInit(&encoderOptions) || !WebPConfigInit(&config_)) {
      *error = "library version mismatch";
      return false;
    }
    encoderOptions.anim_params.loop_count = static_cast<int>(std::min<uint32_t>(options.loopCount, 65535));
    encoderOptions.allow_mixed = 0;
    config_.lossless = options.lossless ? 1 : 0;
    config_.quality = static_cast<float>(options.lossless ? 75 : std::clamp(options.quality, 0, 100));
    // Lossy frames keep their exact alpha edges; GIF pictures have only opaque and clear pixels.
    config_.exact = 1;
    encoder_ = WebPAnimEncoderNew(options.width, options.height, &encoderOptions);
    if (!encoder_ || !WebPValidateConfig(&config_)) {
      *error = "the encoder does not start";
      return false;
    }
    return true;
  }

  bool AddFrame(const uint8_t* rgba, uint32_t durationMs, std::string* error) override {
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) return Fail(error);
    picture.use_argb = 1;
    picture.width = options_.width;
    picture.height = options_.height;
    bool ok = WebPPictureImportRGBA(&picture, rgba, options_.width * 4) &&
              WebPAnimEncoderAdd(encoder_, &picture, timestamp_, &config_);
    WebPPictureFree(&picture);
    if (!ok) return Fail(error);
    timestamp_ += static_cast<int>(durationMs);
    return true;
  }

  bool Finish(std::string* error) override {
    WebPData data;
    WebPDataInit(&data);
    bool ok = WebPAnimEncoderAdd(encoder_, nullptr, timestamp_, nullptr) &&
              WebPAnimEncoderAssemble(encoder_, &data);
    if (ok) {
      FILE* file = std::fopen(path_.c_str(), "wb");
      ok = file && std::fwrite(data.bytes, 1, data.size, file) == data.size;
      if (file && std::fclose(file) != 0) ok = false;
      if (!ok) *error = "cannot be written";
    } else {
      Fail(error);
    }
    WebPDataClear(&data);
    return ok;
  }

 private:
  bool Fail(std::string* error) {
    const char* why = encoder_ ? WebPAnimEncoderGetError(encoder_) : nullptr;
    *error = why && *why ? why : "the encoder failed";
    return false;
  }

  std::string path_;
  PictureSinkOptions options_;
  WebPConfig config_{};
  WebPAnimEncoder* encoder_ = nullptr;
  int timestamp_ = 0;
};

}  // namespace

std::unique_ptr<PictureSource> OpenWebp(const std::string& path, const PictureLimits& limits,
                                        std::string* error) {
  auto source = std::make_unique<WebpSource>();
  if (!source->Open(path, limits, error)) return nullptr;
  return source;
}

std::unique_ptr<PictureSink> OpenWebpSink(const std::string& path, const PictureSinkOptions& options,
                                          std::string* error) {
  auto sink = std::make_unique<WebpSink>();
  if (!sink->Open(path, options, error)) return nullptr;
  return sink;
}

}  // namespace lw::pictures
