// Where render's frames come from and where they go: the test pattern, a still PNG, numbered
// PNGs, a video or raw frames on standard input; one PNG, numbered PNGs, a video or raw frames on
// standard output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "tools/fluxgrain/image.h"
#include "tools/fluxgrain/video.h"

namespace fluxgrain::tool {

// "frame-%04d.png" with 7 -> "frame-0007.png"; std::nullopt when the name holds no %d or %0Nd.
// A name with any other % conversion, or more than one, is a usage error.
std::optional<std::string> numberedName(const std::string& pattern, std::uint64_t number);

enum class SourceKind { kPattern, kStill, kSequence, kVideo, kRaw };

struct FrameSource {
  SourceKind fKind = SourceKind::kPattern;
  std::string fPath;
  std::uint32_t fWidth = 320, fHeight = 240;  // the size the input comes in
  std::uint64_t fAvailable = 0;               // frames the input holds; 0 for endless or unknown
  double fFps = 0;                            // 0 when the input does not say
  Image fStill;
  std::uint64_t fFirstNumber = 0;  // numbered PNGs: the number of the first file
  VideoReaderPtr fVideo;
  std::FILE* fRaw = nullptr;
};

// Opens the input of a render: `input` empty for the pattern; raw when rawWidth > 0.
FrameSource openSource(const std::string& input, std::uint32_t rawWidth, std::uint32_t rawHeight,
                       std::uint32_t bytesPerPixel);
// Fills `frame` (its size and depth set by the caller) with input frame `index`, scaling when
// sizes differ. False when the input has ended.
bool readFrame(FrameSource& source, std::uint64_t index, Image& frame);

enum class SinkKind { kLastPng, kNumberedPng, kVideo, kRaw };

struct FrameSink {
  SinkKind fKind = SinkKind::kLastPng;
  std::string fPath;
  VideoWriterPtr fVideo;
  Image fLast;
  std::uint64_t fWritten = 0;
};

FrameSink openSink(const std::string& output, std::uint32_t width, std::uint32_t height, double fps);
void writeFrame(FrameSink& sink, const Image& frame);
// Completes the output (the last PNG, the video's end); nothing is final before this.
void finishSink(FrameSink& sink);

// The RGB bytes of an RGB or RGBA image.
Image rgbOf(const Image& image);

}  // namespace fluxgrain::tool
