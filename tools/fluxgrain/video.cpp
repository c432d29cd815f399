#include "tools/fluxgrain/video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <optional>

#include "tools/fluxgrain/output.h"
#include "tools/fluxgrain/problem.h"

namespace fluxgrain::tool {

namespace {

// The libraries' own log lines would come between ours; every failure is reported by us in one line.
void silenceLibraryLog() { av_log_set_level(AV_LOG_QUIET); }

std::string errorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

AVPixelFormat pixelFormatOf(std::uint32_t bytesPerPixel) {
  return bytesPerPixel == 4 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
}

std::string extensionOf(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return {};
  std::string ext = path.substr(dot);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Converts and scales one picture between two pixel formats and sizes.
void convert(SwsContext*& context, const std::uint8_t* const source[], const int sourceStride[],
             int sourceWidth, int sourceHeight, AVPixelFormat sourceFormat, std::uint8_t* const target[],
             const int targetStride[], int targetWidth, int targetHeight, AVPixelFormat targetFormat) {
  context = sws_getCachedContext(context, sourceWidth, sourceHeight, sourceFormat, targetWidth,
                                 targetHeight, targetFormat, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (context == nullptr) fail("cannot convert pictures between these formats (libswscale refused)");
  sws_scale(context, source, sourceStride, 0, sourceHeight, target, targetStride);
}

}  // namespace

// ---- reading -------------------------------------------------------------------------------

struct VideoReader {
  std::string fPath;
  AVFormatContext* fFormat = nullptr;
  AVCodecContext* fCodec = nullptr;
  int fStream = -1;
  AVPacket* fPacket = nullptr;
  AVFrame* fFrame = nullptr;
  SwsContext* fScale = nullptr;
  bool fFlushed = false;  // the end of the file reached and the decoder told so
};

void VideoReaderCloser::operator()(VideoReader* reader) const {
  sws_freeContext(reader->fScale);
  av_frame_free(&reader->fFrame);
  av_packet_free(&reader->fPacket);
  avcodec_free_context(&reader->fCodec);
  avformat_close_input(&reader->fFormat);
  delete reader;
}

VideoReaderPtr openVideo(const std::string& path) {
  silenceLibraryLog();
  VideoReaderPtr reader(new VideoReader{path});
  int status = avformat_open_input(&reader->fFormat, path.c_str(), nullptr, nullptr);
  if (status < 0) fail("cannot open video " + path + ": " + errorText(status));
  status = avformat_find_stream_info(reader->fFormat, nullptr);
  if (status < 0) fail("cannot read video " + path + ": " + errorText(status));
  const AVCodec* decoder = nullptr;
  reader->fStream = av_find_best_stream(reader->fFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (reader->fStream < 0 || decoder == nullptr)
    fail("cannot read video " + path + ": it holds no video stream this machine can decode");
  reader->fCodec = avcodec_alloc_context3(decoder);
  if (reader->fCodec == nullptr) fail("out of memory opening " + path);
  avcodec_parameters_to_context(reader->fCodec, reader->fFormat->streams[reader->fStream]->codecpar);
  status = avcodec_open2(reader->fCodec, decoder, nullptr);
  if (status < 0) fail("cannot decode video " + path + ": " + errorText(status));
  reader->fPacket = av_packet_alloc();
  reader->fFrame = av_frame_alloc();
  if (reader->fPacket == nullptr || reader->fFrame == nullptr) fail("out of memory opening " + path);
  if (reader->fCodec->width <= 0 || reader->fCodec->height <= 0)
    fail("cannot read video " + path + ": it gives no frame size");
  return reader;
}

VideoFormat videoFormat(const VideoReader& reader) {
  AVStream* stream = reader.fFormat->streams[reader.fStream];
  const AVRational rate = av_guess_frame_rate(reader.fFormat, stream, nullptr);
  VideoFormat format;
  format.fWidth = std::uint32_t(reader.fCodec->width);
  format.fHeight = std::uint32_t(reader.fCodec->height);
  format.fFps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
  format.fFrameCount = stream->nb_frames > 0 ? std::uint64_t(stream->nb_frames) : 0;
  return format;
}

bool readVideoFrame(VideoReader& reader, Image& frame) {
  for (;;) {
    int status = avcodec_receive_frame(reader.fCodec, reader.fFrame);
    if (status == 0) break;
    if (status == AVERROR_EOF) return false;
    if (status != AVERROR(EAGAIN)) fail("cannot decode video " + reader.fPath + ": " + errorText(status));
    if (reader.fFlushed) return false;
    // Feed the next packet of our stream, or tell the decoder the file has ended.
    for (;;) {
      status = av_read_frame(reader.fFormat, reader.fPacket);
      if (status < 0) {
        if (status != AVERROR_EOF) fail("cannot read video " + reader.fPath + ": " + errorText(status));
        avcodec_send_packet(reader.fCodec, nullptr);
        reader.fFlushed = true;
        break;
      }
      const bool ours = reader.fPacket->stream_index == reader.fStream;
      if (ours) status = avcodec_send_packet(reader.fCodec, reader.fPacket);
      av_packet_unref(reader.fPacket);
      if (!ours) continue;
      if (status < 0 && status != AVERROR(EAGAIN))
        fail("cannot decode video " + reader.fPath + ": " + errorText(status));
      break;
    }
  }
  std::uint8_t* target[4] = {frame.fPixels.data()};
  const int targetStride[4] = {int(frame.fWidth * frame.fBytesPerPixel)};
  convert(reader.fScale, reader.fFrame->data, reader.fFrame->linesize, reader.fFrame->width,
          reader.fFrame->height, AVPixelFormat(reader.fFrame->format), target, targetStride,
          int(frame.fWidth), int(frame.fHeight), pixelFormatOf(frame.fBytesPerPixel));
  av_frame_unref(reader.fFrame);
  return true;
}

// ---- writing -------------------------------------------------------------------------------

struct VideoWriter {
  std::optional<PendingFile> fFile;
  AVFormatContext* fFormat = nullptr;
  AVCodecContext* fCodec = nullptr;
  AVStream* fStream = nullptr;
  AVFrame* fFrame = nullptr;
  AVPacket* fPacket = nullptr;
  SwsContext* fScale = nullptr;
  bool fFileOpen = false;
  std::int64_t fNextPts = 0;
};

void VideoWriterCloser::operator()(VideoWriter* writer) const {
  sws_freeContext(writer->fScale);
  av_frame_free(&writer->fFrame);
  av_packet_free(&writer->fPacket);
  avcodec_free_context(&writer->fCodec);
  if (writer->fFileOpen) avio_closep(&writer->fFormat->pb);
  avformat_free_context(writer->fFormat);
  delete writer;  // removes the unfinished file
}

bool isVideoPath(const std::string& path) {
  const std::string ext = extensionOf(path);
  if (ext.empty() || ext == ".png") return false;
  const AVOutputFormat* format = av_guess_format(nullptr, path.c_str(), nullptr);
  return format != nullptr && format->video_codec != AV_CODEC_ID_NONE &&
         std::strcmp(format->name, "image2") != 0;
}

namespace {

const AVCodec* encoderFor(const std::string& path, const AVOutputFormat* format) {
  const std::string ext = extensionOf(path);
  const char* name = nullptr;
  if (ext == ".mkv") name = "ffv1";
  if (ext == ".mp4" || ext == ".m4v" || ext == ".mov" || ext == ".avi") name = "mpeg4";
  const AVCodec* codec = name != nullptr ? avcodec_find_encoder_by_name(name)
                                         : avcodec_find_encoder(format->video_codec);
  if (codec == nullptr) {
    const char* wanted = name != nullptr ? name : avcodec_get_name(format->video_codec);
    fail("cannot write " + path + ": this machine's FFmpeg has no " + wanted +
         " encoder; use .mkv (FFV1) or .mp4 (MPEG-4)");
  }
  return codec;
}

// The encoder's pixel format: lossless RGB where it has one, otherwise 4:2:0 or its first.
AVPixelFormat encoderPixelFormat(const AVCodec* codec) {
  const AVPixelFormat* formats = codec->pix_fmts;
  if (formats == nullptr) return AV_PIX_FMT_YUV420P;
  for (AVPixelFormat wanted : {AV_PIX_FMT_BGR0, AV_PIX_FMT_RGB24, AV_PIX_FMT_YUV420P})
    for (const AVPixelFormat* f = formats; *f != AV_PIX_FMT_NONE; ++f)
      if (*f == wanted) return wanted;
  return formats[0];
}

// Sends one frame (or, with null, the end) to the encoder and writes what comes out.
void encode(VideoWriter& writer, AVFrame* frame) {
  int status = avcodec_send_frame(writer.fCodec, frame);
  if (status < 0) fail("cannot encode " + writer.fFile->fPath + ": " + errorText(status));
  for (;;) {
    status = avcodec_receive_packet(writer.fCodec, writer.fPacket);
    if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return;
    if (status < 0) fail("cannot encode " + writer.fFile->fPath + ": " + errorText(status));
    // Each frame lasts one tick of the frame rate; without a duration MP4's edit list would
    // leave the last frame out.
    if (writer.fPacket->duration == 0) writer.fPacket->duration = 1;
    av_packet_rescale_ts(writer.fPacket, writer.fCodec->time_base, writer.fStream->time_base);
    writer.fPacket->stream_index = writer.fStream->index;
    status = av_interleaved_write_frame(writer.fFormat, writer.fPacket);
    if (status < 0) fail("cannot write " + writer.fFile->fPath + ": " + errorText(status));
  }
}

}  // namespace

VideoWriterPtr createVideo(const std::string& path, std::uint32_t width, std::uint32_t height,
                           double fps) {
  silenceLibraryLog();
  VideoWriterPtr writer(new VideoWriter);
  const AVOutputFormat* format = av_guess_format(nullptr, path.c_str(), nullptr);
  if (format == nullptr || format->video_codec == AV_CODEC_ID_NONE)
    fail("cannot write " + path + ": no video container for this file name; use .mkv, .mp4, .avi or .mov");
  const AVCodec* codec = encoderFor(path, format);
  const AVPixelFormat pixelFormat = encoderPixelFormat(codec);
  if (pixelFormat == AV_PIX_FMT_YUV420P && (width % 2 != 0 || height % 2 != 0))
    fail("cannot write " + path + ": " + codec->name + " video needs an even width and height; " +
         "use another --size or .mkv");
  writer->fFile.emplace(path);

  int status = avformat_alloc_output_context2(&writer->fFormat, format, nullptr, writer->fFile->partPath().c_str());
  if (status < 0) fail("cannot write " + path + ": " + errorText(status));
  writer->fStream = avformat_new_stream(writer->fFormat, nullptr);
  writer->fCodec = avcodec_alloc_context3(codec);
  writer->fFrame = av_frame_alloc();
  writer->fPacket = av_packet_alloc();
  if (!writer->fStream || !writer->fCodec || !writer->fFrame || !writer->fPacket)
    fail("out of memory writing " + path);

  AVCodecContext* c = writer->fCodec;
  const AVRational rate = av_d2q(fps, 100000);
  c->width = int(width);
  c->height = int(height);
  c->pix_fmt = pixelFormat;
  c->time_base = av_inv_q(rate);
  c->framerate = rate;
  c->gop_size = 12;
  c->max_b_frames = 0;
  if (codec->id == AV_CODEC_ID_MPEG4) {  // constant quality: small files, few visible blocks
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * 4;
  }
  if (format->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  status = avcodec_open2(c, codec, nullptr);
  if (status < 0) fail("cannot write " + path + ": the " + codec->name + " encoder refused: " + errorText(status));
  avcodec_parameters_from_context(writer->fStream->codecpar, c);
  writer->fStream->time_base = c->time_base;

  writer->fFrame->format = pixelFormat;
  writer->fFrame->width = c->width;
  writer->fFrame->height = c->height;
  status = av_frame_get_buffer(writer->fFrame, 0);
  if (status < 0) fail("out of memory writing " + path);

  status = avio_open(&writer->fFormat->pb, writer->fFile->partPath().c_str(), AVIO_FLAG_WRITE);
  if (status < 0) fail("cannot write " + path + ": " + errorText(status));
  writer->fFileOpen = true;
  status = avformat_write_header(writer->fFormat, nullptr);
  if (status < 0) fail("cannot write " + path + ": " + errorText(status));
  return writer;
}

void writeVideoFrame(VideoWriter& writer, const Image& frame) {
  int status = av_frame_make_writable(writer.fFrame);
  if (status < 0) fail("cannot encode " + writer.fFile->fPath + ": " + errorText(status));
  const std::uint8_t* source[4] = {frame.fPixels.data()};
  const int sourceStride[4] = {int(frame.fWidth * frame.fBytesPerPixel)};
  convert(writer.fScale, source, sourceStride, int(frame.fWidth), int(frame.fHeight),
          pixelFormatOf(frame.fBytesPerPixel), writer.fFrame->data, writer.fFrame->linesize,
          writer.fFrame->width, writer.fFrame->height, AVPixelFormat(writer.fFrame->format));
  writer.fFrame->pts = writer.fNextPts++;
  if (writer.fCodec->flags & AV_CODEC_FLAG_QSCALE) writer.fFrame->quality = writer.fCodec->global_quality;
  encode(writer, writer.fFrame);
}

void finishVideo(VideoWriter& writer) {
  encode(writer, nullptr);
  int status = av_write_trailer(writer.fFormat);
  if (status < 0) fail("cannot write " + writer.fFile->fPath + ": " + errorText(status));
  status = avio_closep(&writer.fFormat->pb);
  writer.fFileOpen = false;
  if (status < 0) fail("cannot write " + writer.fFile->fPath + ": " + errorText(status));
  writer.fFile->commit();
}

Image scaleImage(const Image& image, std::uint32_t width, std::uint32_t height) {
  Image scaled = blankImage(width, height, image.fBytesPerPixel);
  const std::uint8_t* source[4] = {image.fPixels.data()};
  const int sourceStride[4] = {int(image.fWidth * image.fBytesPerPixel)};
  std::uint8_t* target[4] = {scaled.fPixels.data()};
  const int targetStride[4] = {int(width * image.fBytesPerPixel)};
  SwsContext* context = nullptr;
  convert(context, source, sourceStride, int(image.fWidth), int(image.fHeight),
          pixelFormatOf(image.fBytesPerPixel), target, targetStride, int(width), int(height),
          pixelFormatOf(image.fBytesPerPixel));
  sws_freeContext(context);
  return scaled;
}

}  // namespace fluxgrain::tool
