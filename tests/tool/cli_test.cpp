// The fluxgrain program run as a user runs it: render gives exactly what driving plugMain
// directly gives, raw frames pipe through, and every bad input ends with one line and the right
// exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/plugin/pluginHost.h"
#include "tests/tool/toolRunner.h"
#include "tools/fluxgrain/args.h"
#include "tools/fluxgrain/pattern.h"
#include "tools/fluxgrain/png.h"
#include "tools/fluxgrain/render.h"
#include "tools/fluxgrain/video.h"

namespace fluxgrain::test {
namespace {

using tool::testPattern;

// A --set or --sweep as given on the command line and as it reaches the plug-in.
struct Setting {
  const char* fOption;
  const char* fValue;
  FFUInt32 fIndex;
  float fFrom, fTo;
};

struct RenderCase {
  const char* fPlugin;
  FFUInt32 fBitDepth;  // FF_DEPTH_24 or FF_DEPTH_32
  bool fCopy;
  std::vector<Setting> fSettings;
};

constexpr FFUInt32 kWidth = 40, kHeight = 30, kFrames = 6;

// What a host driving plugMain by hand gets for the pattern's first kFrames frames.
std::string directRender(const RenderCase& c) {
  const PluginHandle plugin(c.fPlugin);
  const Instance instance(plugin, kWidth, kHeight, c.fBitDepth);
  EXPECT_TRUE(instance.ok());
  const FFUInt32 bpp = bytesPerPixel(c.fBitDepth);
  std::string bytes;
  for (FFUInt32 f = 0; f < kFrames; ++f) {
    for (const Setting& s : c.fSettings)
      if (f == 0 || s.fFrom != s.fTo) {
        EXPECT_EQ(instance.set(s.fIndex, tool::changeValue({"", s.fFrom, s.fTo}, f, kFrames)), FF_SUCCESS);
      }
    Frame frame = testPattern(kWidth, kHeight, bpp, f).fPixels;
    Frame output(frame.size());
    EXPECT_EQ(c.fCopy ? instance.copy(frame.data(), output.data()) : instance.process(frame.data()), FF_SUCCESS);
    const Frame& result = c.fCopy ? output : frame;
    bytes.append(result.begin(), result.end());
  }
  return bytes;
}

TEST(Render, GivesTheSameBytesAsDrivingPlugMainDirectly) {
  const RenderCase cases[] = {
      {"OxaFGPellum1", FF_DEPTH_32, false, {}},
      {"OxaFGGralden1", FF_DEPTH_24, true, {{"--set", "ANG MUL=0.9", kAngMul, 0.9f, 0.9f}, {"--set", "0=0.5", 0, 0.5f, 0.5f}}},
      {"OxaFGCaldor1", FF_DEPTH_32, false, {{"--sweep", "Dist Mul=0:1", kDistMul, 0, 1}, {"--set", "step val=0.9", kStepVal, 0.9f, 0.9f}}},
  };
  for (const RenderCase& c : cases) {
    std::vector<std::string> args = {"render", pluginPath(c.fPlugin), "-o", "-", "-q", "--size", "40x30", "--frames", "6",
                                     "--depth", c.fBitDepth == FF_DEPTH_24 ? "24" : "32"};
    if (c.fCopy) args.push_back("--copy");
    for (const Setting& s : c.fSettings) args.insert(args.end(), {s.fOption, s.fValue});
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.fStatus, 0) << c.fPlugin << ": " << run.fErr;
    EXPECT_EQ(run.fOut.size(), std::size_t(kFrames) * kWidth * kHeight * bytesPerPixel(c.fBitDepth)) << c.fPlugin;
    EXPECT_TRUE(run.fOut == directRender(c)) << c.fPlugin << ": the output differs from a direct run";
  }
}

TEST(Render, RawFramesPipeThrough) {
  const std::string dir = scratchDir("raw-pipe");
  constexpr FFUInt32 kW = 24, kH = 16;
  std::string input;
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    const Frame f = patternFrame(kW, kH, 4, seed);
    input.append(f.begin(), f.end());
  }
  writeFile(dir + "/in.raw", input);
  const ToolRun run = runTool({"render", pluginPath("OxaFGOrvial1"), "--raw", "24x16", "-o", "-", "-q"}, dir + "/in.raw");
  EXPECT_EQ(run.fStatus, 0) << run.fErr;

  const PluginHandle plugin("OxaFGOrvial1");
  const Instance instance(plugin, kW, kH, FF_DEPTH_32);
  std::string expected;
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    Frame f = patternFrame(kW, kH, 4, seed);
    ASSERT_EQ(instance.process(f.data()), FF_SUCCESS);
    expected.append(f.begin(), f.end());
  }
  EXPECT_TRUE(run.fOut == expected) << "raw frames through the tool differ from a direct run";

  // A last frame cut short is a failure, not a quiet end.
  writeFile(dir + "/short.raw", input.substr(0, input.size() - 5));
  const ToolRun cut = runTool({"render", pluginPath("OxaFGOrvial1"), "--raw", "24x16", "-o", "-", "-q"}, dir + "/short.raw");
  EXPECT_EQ(cut.fStatus, 1);
  EXPECT_NE(cut.fErr.find("standard input ended inside frame 2 (1531 of 1536 bytes)"), std::string::npos) << cut.fErr;
}

TEST(Render, VideoAndPngSequencesInAndOut) {
  const std::string dir = scratchDir("render-files");
  const ToolRun toVideo = runTool({"render", "pellum", "-o", dir + "/a.mkv", "--frames", "4", "--size", "32x24", "-q"});
  ASSERT_EQ(toVideo.fStatus, 0) << toVideo.fErr;
  const ToolRun toPngs = runTool({"render", "zentrik", "-i", dir + "/a.mkv", "-o", dir + "/f-%02d.png", "-q"});
  ASSERT_EQ(toPngs.fStatus, 0) << toPngs.fErr;
  for (const char* name : {"f-00.png", "f-01.png", "f-02.png", "f-03.png"})
    EXPECT_EQ(tool::readPng(dir + "/" + name, 3).fWidth, 32u) << name;
  EXPECT_FALSE(fileExists(dir + "/f-04.png"));
  // Numbered PNGs back in (the sequence starts at 0) and the last frame out as one picture.
  const ToolRun fromPngs = runTool({"render", "lumbra", "-i", dir + "/f-%02d.png", "-o", dir + "/last.png", "--size", "16x12"});
  EXPECT_EQ(fromPngs.fStatus, 0) << fromPngs.fErr;
  EXPECT_NE(fromPngs.fOut.find("OxaFGLumbra1: 4 frames of 16x12"), std::string::npos) << fromPngs.fOut;
  EXPECT_EQ(tool::readPng(dir + "/last.png", 3).fHeight, 12u);
}

TEST(Render, BadInputEndsWithOneLineAndTheRightStatus) {
  const std::string dir = scratchDir("render-errors");
  writeFile(dir + "/corrupt.png", "\x89PNG\r\n\x1a\n garbage");
  writeFile(dir + "/corrupt.mkv", std::string(2000, 'k'));
  tool::writePng(dir + "/seq-1.png", testPattern(8, 8, 3, 0));
  const std::string out = dir + "/out.png";
  struct Case {
    std::vector<std::string> fArgs;
    int fStatus;
    std::string fMessage;
  };
  const Case cases[] = {
      {{"info", FLUXGRAIN_NOT_A_PLUGIN}, 1, "is not a FreeFrame plug-in: it exports no plugMain"},
      {{"render", FLUXGRAIN_NOT_A_PLUGIN, "-o", out}, 1, "exports no plugMain"},
      {{"info", dir + "/corrupt.png"}, 1, "cannot load plug-in"},
      {{"render", FLUXGRAIN_REFUSING_PLUGIN, "-o", out, "--size", "13x8"}, 1,
       "refused an instance for 13x8 32-bit frames (FF_INSTANTIATE failed)"},
      {{"render", FLUXGRAIN_REFUSING_PLUGIN, "-o", out, "--size", "8x8", "--depth", "24"}, 1,
       "refused a frame (FF_PROCESSFRAME) (answer 0xFFFFFFFF, expected FF_SUCCESS)"},
      {{"render", FLUXGRAIN_REFUSING_PLUGIN, "-o", dir + "/out.mkv", "--size", "8x8"}, 1, "refused a frame"},
      {{"info", "nosuch"}, 2, "unknown plug-in 'nosuch': expected a file or one of OxaFGCaldor1, "},
      {{"info", "/no/such/plugin.so"}, 1, "no plug-in file /no/such/plugin.so"},
      {{"render", "pellum", "-o", out, "--set", "Blur=1"}, 2, "unknown parameter 'Blur' for OxaFGPellum1"},
      {{"render", "pellum", "-o", out, "--set", "7=0.5"}, 2, "or an index from 0 to 6"},
      {{"render", "pellum", "-o", out, "--size", "12x"}, 2, "bad size '12x'"},
      {{"render", "pellum", "-o", out, "--depth", "8"}, 2, "bad depth '8': expected 24 or 32"},
      {{"render", "pellum", "-o", out, "--wobble"}, 2, "unknown option '--wobble' for render"},
      {{"render", "pellum", "-i", dir + "/missing.png", "-o", out}, 1, "cannot read " + dir + "/missing.png"},
      {{"render", "pellum", "-i", dir + "/corrupt.png", "-o", out}, 1, "as a PNG image"},
      {{"render", "pellum", "-i", dir + "/corrupt.mkv", "-o", out}, 1, "cannot open video " + dir + "/corrupt.mkv"},
      {{"render", "pellum", "-i", dir + "/seq-%d.png", "-o", out, "--frames", "2"}, 2, "asks for more frames than " + dir + "/seq-%d.png holds (1)"},
      {{"render", "pellum", "--raw", "8x8", "-o", "-", "--sweep", "0=0:1"}, 2, "--sweep needs to know how many frames"},
      {{"render", "pellum", "-o", dir + "/no/dir/out.png", "--frames", "1"}, 1, "cannot write " + dir + "/no/dir/out.png"},
      {{"render", "pellum", "-o", dir + "/no/dir/out.mkv"}, 1, "cannot write " + dir + "/no/dir/out.mkv"},
      {{"render", "pellum", "-o", dir + "/out.xyz"}, 2, "cannot tell what to write"},
      {{"gallery", dir + "/g", "--plugins", dir}, 1, "OxaFGPellum1.so not found in " + dir},
  };
  for (const Case& c : cases) {
    const ToolRun run = runTool(c.fArgs, "/dev/null");
    const std::string line = c.fArgs[0] + " " + c.fArgs[1];
    EXPECT_EQ(run.fStatus, c.fStatus) << line << ": " << run.fErr;
    EXPECT_EQ(run.fErr.rfind("fluxgrain: ", 0), 0u) << line << ": " << run.fErr;
    EXPECT_NE(run.fErr.find(c.fMessage), std::string::npos) << line << ": " << run.fErr;
    EXPECT_EQ(std::count(run.fErr.begin(), run.fErr.end(), '\n'), 1) << line << ": " << run.fErr;
  }
  EXPECT_FALSE(fileExists(out)) << "a failed run left an output behind";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3) << "stray files in " << dir;
}

// list shows foreign plug-ins and says why a file is not usable, without giving up on the folder.
TEST(Render, ListShowsEveryFileOfAFolder) {
  const std::string dir = scratchDir("list");
  std::filesystem::copy_file(FLUXGRAIN_REFUSING_PLUGIN, dir + "/Refuser.so");
  std::filesystem::copy_file(FLUXGRAIN_NOT_A_PLUGIN, dir + "/notAPlugin.so");
  std::filesystem::copy_file(pluginPath("OxaFGSolvane1"), dir + "/OxaFGSolvane1.so");
  const ToolRun run = runTool({"list", dir});
  EXPECT_EQ(run.fStatus, 0) << run.fErr;
  EXPECT_NE(run.fOut.find("OxaFGSolvane1.so     qv10  OxaFGSolvane1    3.938        8  Input turned"), std::string::npos)
      << run.fOut;
  EXPECT_NE(run.fOut.find("Refuser.so           RFSE  Refuser          -            0"), std::string::npos) << run.fOut;
  EXPECT_NE(run.fOut.find("notAPlugin.so        (not usable: "), std::string::npos) << run.fOut;

  std::filesystem::remove(dir + "/Refuser.so");
  std::filesystem::remove(dir + "/OxaFGSolvane1.so");
  const ToolRun none = runTool({"list", dir});
  EXPECT_EQ(none.fStatus, 1);
  EXPECT_NE(none.fErr.find("no FreeFrame plug-ins in " + dir), std::string::npos) << none.fErr;
}

TEST(Gallery, WritesAStillAndAClipOfEachEffectAndTheContactSheet) {
  const std::string dir = scratchDir("gallery") + "/out";  // made by the command
  const ToolRun run = runTool({"gallery", dir, "--size", "32x24", "--frames", "3", "-q"});
  ASSERT_EQ(run.fStatus, 0) << run.fErr;
  for (const PluginCase& c : kPlugins) {
    EXPECT_EQ(tool::readPng(dir + "/" + c.fName + ".png", 3).fWidth, 32u) << c.fName;
    EXPECT_EQ(tool::videoFormat(*tool::openVideo(dir + "/" + c.fName + ".mp4")).fFrameCount, 3u) << c.fName;
  }
  const tool::Image sheet = tool::readPng(dir + "/contact-sheet.png", 3);
  EXPECT_EQ(sheet.fWidth, 4u * (32 + 6) + 6);
  EXPECT_EQ(tool::readPng(dir + "/pattern.png", 3).fPixels, testPattern(32, 24, 3, 0).fPixels);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 8 * 2 + 2) << "stray files in " << dir;
}

TEST(Render, HelpGoesToStandardOutput) {
  for (const char* command : {"list", "info", "render", "gallery"}) {
    const ToolRun run = runTool({command, "--help"});
    EXPECT_EQ(run.fStatus, 0);
    EXPECT_EQ(run.fOut.rfind(std::string("usage: fluxgrain ") + command, 0), 0u) << run.fOut;
  }
  const ToolRun run = runTool({});
  EXPECT_EQ(run.fStatus, 2);
  EXPECT_NE(run.fErr.find("no command given"), std::string::npos);
}

}  // namespace
}  // namespace fluxgrain::test
