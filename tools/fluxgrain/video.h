// Video files in and out through FFmpeg's libraries (libavformat, libavcodec, libswscale), and
// picture scaling through libswscale.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/fluxgrain/image.h"

namespace fluxgrain::tool {

struct VideoReader;
struct VideoReaderCloser {
  void operator()(VideoReader* reader) const;
};
using VideoReaderPtr = std::unique_ptr<VideoReader, VideoReaderCloser>;

struct VideoFormat {
  std::uint32_t fWidth = 0, fHeight = 0;
  double fFps = 0;                // 0 when the file does not say
  std::uint64_t fFrameCount = 0;  // 0 when the file does not say
};

// Opens the first video stream of a file; fails with a one-line reason.
VideoReaderPtr openVideo(const std::string& path);
VideoFormat videoFormat(const VideoReader& reader);
// Decodes the next frame into `frame`, scaled to its size and converted to its bytes per pixel.
// False at the end of the stream; fails on a decoding error.
bool readVideoFrame(VideoReader& reader, Image& frame);

struct VideoWriter;
struct VideoWriterCloser {
  void operator()(VideoWriter* writer) const;
};
using VideoWriterPtr = std::unique_ptr<VideoWriter, VideoWriterCloser>;

// Whether the file name asks for a video (by its extension).
bool isVideoPath(const std::string& path);
// Starts a video of RGB or RGBA frames; the codec follows the extension: .mkv FFV1 (lossless),
// .mp4/.m4v/.mov/.avi MPEG-4 part 2, others the container's usual codec. Fails with a one-line
// reason when the container or its codec is not available here.
VideoWriterPtr createVideo(const std::string& path, std::uint32_t width, std::uint32_t height,
                           double fps);
void writeVideoFrame(VideoWriter& writer, const Image& frame);
// Flushes the encoder, writes the trailer and gives the file its name.
void finishVideo(VideoWriter& writer);

// `image` resized to width x height with the same bytes per pixel (bicubic).
Image scaleImage(const Image& image, std::uint32_t width, std::uint32_t height);

}  // namespace fluxgrain::tool
