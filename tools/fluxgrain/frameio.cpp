#include "tools/fluxgrain/frameio.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "tools/fluxgrain/pattern.h"
#include "tools/fluxgrain/png.h"
#include "tools/fluxgrain/problem.h"

namespace fluxgrain::tool {

namespace {

bool fileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

void fitInto(const Image& picture, Image& frame) {
  if (picture.fWidth == frame.fWidth && picture.fHeight == frame.fHeight)
    frame.fPixels = picture.fPixels;
  else
    frame.fPixels = scaleImage(picture, frame.fWidth, frame.fHeight).fPixels;
}

}  // namespace

std::optional<std::string> numberedName(const std::string& pattern, std::uint64_t number) {
  const auto percent = pattern.find('%');
  if (percent == std::string::npos) return std::nullopt;
  std::size_t i = percent + 1;
  std::size_t width = 0;
  if (i < pattern.size() && pattern[i] == '0') {
    ++i;
    while (i < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[i])) && width < 10)
      width = width * 10 + std::size_t(pattern[i++] - '0');
  }
  if (i >= pattern.size() || pattern[i] != 'd' || pattern.find('%', i) != std::string::npos)
    usageError("bad numbered file name '" + pattern + "': expected one %d or %0Nd, as in frame-%04d.png");
  std::string digits = std::to_string(number);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return pattern.substr(0, percent) + digits + pattern.substr(i + 1);
}

FrameSource openSource(const std::string& input, std::uint32_t rawWidth, std::uint32_t rawHeight,
                       std::uint32_t bytesPerPixel) {
  FrameSource source;
  source.fPath = input;
  if (rawWidth > 0) {
    source.fKind = SourceKind::kRaw;
    source.fWidth = rawWidth;
    source.fHeight = rawHeight;
    source.fRaw = stdin;
  } else if (input.empty()) {
    source.fKind = SourceKind::kPattern;
  } else if (const auto first = numberedName(input, 0)) {
    source.fKind = SourceKind::kSequence;
    source.fFirstNumber = fileExists(*first) ? 0 : 1;  // sequences start at 0 or at 1
    const std::string firstName = *numberedName(input, source.fFirstNumber);
    if (!fileExists(firstName))
      fail("cannot read " + input + ": neither " + *first + " nor " + firstName + " exists");
    while (fileExists(*numberedName(input, source.fFirstNumber + source.fAvailable))) ++source.fAvailable;
    source.fStill = readPng(firstName, bytesPerPixel);
  } else if (isVideoPath(input) || !input.ends_with(".png")) {
    source.fKind = SourceKind::kVideo;
    source.fVideo = openVideo(input);
    const VideoFormat format = videoFormat(*source.fVideo);
    source.fAvailable = format.fFrameCount;
    source.fFps = format.fFps;
    source.fWidth = format.fWidth;
    source.fHeight = format.fHeight;
  } else {
    source.fKind = SourceKind::kStill;
    source.fStill = readPng(input, bytesPerPixel);
  }
  if (source.fKind == SourceKind::kStill || source.fKind == SourceKind::kSequence) {
    source.fWidth = source.fStill.fWidth;
    source.fHeight = source.fStill.fHeight;
  }
  return source;
}

bool readFrame(FrameSource& source, std::uint64_t index, Image& frame) {
  switch (source.fKind) {
    case SourceKind::kPattern:
      fitInto(testPattern(source.fWidth, source.fHeight, frame.fBytesPerPixel, std::uint32_t(index)), frame);
      return true;
    case SourceKind::kStill:
      fitInto(source.fStill, frame);
      return true;
    case SourceKind::kSequence: {
      if (index >= source.fAvailable) return false;
      if (index > 0) source.fStill = readPng(*numberedName(source.fPath, source.fFirstNumber + index), frame.fBytesPerPixel);
      fitInto(source.fStill, frame);
      return true;
    }
    case SourceKind::kVideo:
      return readVideoFrame(*source.fVideo, frame);
    case SourceKind::kRaw: {
      Image raw = blankImage(source.fWidth, source.fHeight, frame.fBytesPerPixel);
      const std::size_t got = std::fread(raw.fPixels.data(), 1, raw.fPixels.size(), source.fRaw);
      if (got == 0 && std::feof(source.fRaw)) return false;
      if (got != raw.fPixels.size())
        fail("standard input ended inside frame " + std::to_string(index) + " (" + std::to_string(got) +
             " of " + std::to_string(raw.fPixels.size()) + " bytes): expected whole " +
             std::to_string(source.fWidth) + "x" + std::to_string(source.fHeight) + " frames of " +
             std::to_string(frame.fBytesPerPixel) + " bytes per pixel");
      fitInto(raw, frame);
      return true;
    }
  }
  return false;
}

Image rgbOf(const Image& image) {
  if (image.fBytesPerPixel == 3) return image;
  Image rgb = blankImage(image.fWidth, image.fHeight, 3);
  for (std::size_t i = 0, j = 0; j < rgb.fPixels.size(); i += 4, j += 3)
    std::memcpy(&rgb.fPixels[j], &image.fPixels[i], 3);
  return rgb;
}

FrameSink openSink(const std::string& output, std::uint32_t width, std::uint32_t height, double fps) {
  FrameSink sink;
  sink.fPath = output;
  if (output == "-") {
    sink.fKind = SinkKind::kRaw;
  } else if (numberedName(output, 0)) {
    sink.fKind = SinkKind::kNumberedPng;
  } else if (output.ends_with(".png") || output.ends_with(".PNG")) {
    sink.fKind = SinkKind::kLastPng;
  } else if (isVideoPath(output)) {
    sink.fKind = SinkKind::kVideo;
    sink.fVideo = createVideo(output, width, height, fps);
  } else {
    usageError("cannot tell what to write to '" + output +
               "': expected a .png name, a numbered name such as frame-%04d.png, a video (.mkv, .mp4, "
               ".avi, .mov) or - for raw frames");
  }
  return sink;
}

void writeFrame(FrameSink& sink, const Image& frame) {
  switch (sink.fKind) {
    case SinkKind::kLastPng: sink.fLast = frame; break;
    case SinkKind::kNumberedPng: writePng(*numberedName(sink.fPath, sink.fWritten), rgbOf(frame)); break;
    case SinkKind::kVideo: writeVideoFrame(*sink.fVideo, frame); break;
    case SinkKind::kRaw:
      if (std::fwrite(frame.fPixels.data(), 1, frame.fPixels.size(), stdout) != frame.fPixels.size())
        fail(std::string("cannot write to standard output: ") + std::strerror(errno));
      break;
  }
  ++sink.fWritten;
}

void finishSink(FrameSink& sink) {
  switch (sink.fKind) {
    case SinkKind::kLastPng: writePng(sink.fPath, rgbOf(sink.fLast)); break;
    case SinkKind::kNumberedPng: break;
    case SinkKind::kVideo: finishVideo(*sink.fVideo); break;
    case SinkKind::kRaw:
      if (std::fflush(stdout) != 0) fail(std::string("cannot write to standard output: ") + std::strerror(errno));
      break;
  }
}

}  // namespace fluxgrain::tool
