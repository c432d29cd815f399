// Pictures and video through libpng and FFmpeg: round trips, and clear refusals of bad files.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/tool/toolRunner.h"
#include "tools/fluxgrain/pattern.h"
#include "tools/fluxgrain/png.h"
#include "tools/fluxgrain/problem.h"
#include "tools/fluxgrain/video.h"

namespace fluxgrain::tool {
namespace {

using test::scratchDir;

// Runs fn, which must fail; returns the Problem it raised.
template <class Fn>
Problem problemOf(Fn fn) {
  try {
    fn();
  } catch (const Problem& p) {
    return p;
  }
  ADD_FAILURE() << "no failure";
  return {};
}

TEST(Png, RoundTripKeepsEveryByte) {
  const std::string dir = scratchDir("png-round-trip");
  for (std::uint32_t bytesPerPixel : {3u, 4u}) {
    Image image = testPattern(37, 21, bytesPerPixel, 5);  // odd sizes: no row padding hides
    if (bytesPerPixel == 4)
      for (std::size_t i = 3; i < image.fPixels.size(); i += 4) image.fPixels[i] = std::uint8_t(i);
    const std::string path = dir + "/p" + std::to_string(bytesPerPixel) + ".png";
    writePng(path, image);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    const Image back = readPng(path, bytesPerPixel);
    EXPECT_EQ(back.fWidth, 37u);
    EXPECT_EQ(back.fHeight, 21u);
    EXPECT_EQ(back.fPixels, image.fPixels) << bytesPerPixel << " bytes per pixel";
  }
}

TEST(Png, BadFilesAreRefusedWithTheReason) {
  const std::string dir = scratchDir("png-bad");
  writePng(dir + "/good.png", testPattern(16, 16, 3, 0));
  const std::string good = test::readFile(dir + "/good.png");
  test::writeFile(dir + "/truncated.png", good.substr(0, good.size() / 2));
  test::writeFile(dir + "/text.png", "not a picture at all\n");

  const std::pair<std::string, std::string> cases[] = {
      {dir + "/missing.png", "No such file or directory"},
      {dir + "/text.png", "as a PNG image"},
      {dir + "/truncated.png", "as a PNG image"},
  };
  for (const auto& [path, reason] : cases) {
    const Problem p = problemOf([&] { readPng(path, 4); });
    EXPECT_EQ(p.fStatus, kExitFailure);
    EXPECT_NE(p.fMessage.find("cannot read " + path), std::string::npos) << p.fMessage;
    EXPECT_NE(p.fMessage.find(reason), std::string::npos) << p.fMessage;
  }
  const Problem p = problemOf([&] { writePng(dir + "/no/such/dir/out.png", testPattern(4, 4, 3, 0)); });
  EXPECT_NE(p.fMessage.find("cannot write " + dir + "/no/such/dir/out.png: No such file"), std::string::npos)
      << p.fMessage;
}

// Encodes frames of the pattern, decodes them again: the same size and number of frames, and for
// the lossless codec the same pixels.
TEST(Video, RoundTripKeepsSizeAndFrameCount) {
  const std::string dir = scratchDir("video-round-trip");
  constexpr std::uint32_t kWidth = 64, kHeight = 48, kFrames = 5;
  const std::pair<const char*, bool> cases[] = {{"clip.mkv", true}, {"clip.mp4", false}, {"clip.avi", false}};
  for (const auto& [name, lossless] : cases) {
    const std::string path = dir + "/" + name;
    VideoWriterPtr writer = createVideo(path, kWidth, kHeight, 25);
    for (std::uint32_t i = 0; i < kFrames; ++i) writeVideoFrame(*writer, testPattern(kWidth, kHeight, 4, i * 10));
    EXPECT_FALSE(std::filesystem::exists(path)) << "a video must not appear before it is complete";
    finishVideo(*writer);
    writer.reset();

    VideoReaderPtr reader = openVideo(path);
    const VideoFormat format = videoFormat(*reader);
    EXPECT_EQ(format.fWidth, kWidth) << name;
    EXPECT_EQ(format.fHeight, kHeight) << name;
    EXPECT_NEAR(format.fFps, 25.0, 0.01) << name;
    Image frame = blankImage(kWidth, kHeight, 3);
    std::uint32_t count = 0;
    while (readVideoFrame(*reader, frame)) {
      if (lossless) {
        EXPECT_EQ(frame.fPixels, testPattern(kWidth, kHeight, 3, count * 10).fPixels) << name << count;
      }
      ++count;
    }
    EXPECT_EQ(count, kFrames) << name;
  }
}

TEST(Video, BadFilesAndUnknownFormatsAreRefused) {
  const std::string dir = scratchDir("video-bad");
  test::writeFile(dir + "/noise.mp4", std::string(4096, '\x5a'));
  EXPECT_NE(problemOf([&] { openVideo(dir + "/noise.mp4"); }).fMessage.find("cannot open video " + dir + "/noise.mp4"),
            std::string::npos);
  EXPECT_NE(problemOf([&] { openVideo(dir + "/absent.mkv"); }).fMessage.find("No such file"), std::string::npos);
  EXPECT_NE(problemOf([&] { createVideo(dir + "/odd.mp4", 15, 9, 30); }).fMessage.find("even width and height"),
            std::string::npos);
  EXPECT_NE(problemOf([&] { createVideo(dir + "/gone/x.mkv", 16, 8, 30); }).fMessage.find("cannot write"),
            std::string::npos);
  // A video abandoned half-way leaves nothing behind.
  { VideoWriterPtr writer = createVideo(dir + "/abandoned.mkv", 16, 8, 30); }
  EXPECT_FALSE(std::filesystem::exists(dir + "/abandoned.mkv"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/abandoned.mkv.part"));
}

TEST(Video, ScalingKeepsAUniformPictureUniform) {
  Image grey = blankImage(40, 30, 4);
  std::fill(grey.fPixels.begin(), grey.fPixels.end(), std::uint8_t(128));
  const Image scaled = scaleImage(grey, 17, 11);
  ASSERT_EQ(scaled.fPixels.size(), 17u * 11u * 4u);
  for (std::uint8_t byte : scaled.fPixels) ASSERT_NEAR(byte, 128, 1);
}

}  // namespace
}  // namespace fluxgrain::tool
