// The command line: what sound lines set, and the one-line complaint for each kind of mistake.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "tools/fluxgrain/args.h"
#include "tools/fluxgrain/frameio.h"
#include "tools/fluxgrain/problem.h"
#include "tools/fluxgrain/render.h"

namespace fluxgrain::tool {
namespace {

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

struct GoodLine {
  const char* fLine;
  std::function<bool(const Options&)> fHolds;
};

TEST(ParseArgs, SoundLinesSetTheOptions) {
  const GoodLine cases[] = {
      {"list", [](const Options& o) { return o.fCommand == Command::kList && o.fTarget.empty(); }},
      {"list some/dir", [](const Options& o) { return o.fTarget == "some/dir"; }},
      {"info pellum --plugins p", [](const Options& o) { return o.fTarget == "pellum" && o.fPluginDir == "p"; }},
      {"render pellum -o out.png",
       [](const Options& o) {
         return o.fCommand == Command::kRender && o.fOutput == "out.png" && o.fDepth == 32 && o.fFrames == 0 &&
                o.fWidth == 0 && !o.fCopy && !o.fRawInput && o.fInput.empty();
       }},
      {"render x.so --output=- --raw 64x48 --depth 24 --frames 7 --copy -q",
       [](const Options& o) {
         return o.fOutput == "-" && o.fRawInput && o.fRawWidth == 64 && o.fRawHeight == 48 && o.fWidth == 0 &&
                o.fDepth == 24 && o.fFrames == 7 && o.fCopy && o.fQuiet;
       }},
      {"render x -i in.mp4 -o out.mkv --size 8192x1 --fps 29.97",
       [](const Options& o) { return o.fInput == "in.mp4" && o.fWidth == 8192 && o.fHeight == 1 && o.fFps == 29.97; }},
      {"render x -o o.png --set Blend=0.5 --set 3=1e-1 --sweep Dist=0:1",
       [](const Options& o) {
         return o.fChanges.size() == 3 && o.fChanges[0].fKey == "Blend" && o.fChanges[0].fFrom == 0.5f &&
                o.fChanges[0].fTo == 0.5f && o.fChanges[1].fKey == "3" && o.fChanges[1].fFrom == 0.1f &&
                o.fChanges[2].fFrom == 0.0f && o.fChanges[2].fTo == 1.0f;
       }},
      {"gallery out --size 160x120 --frames 30",
       [](const Options& o) {
         return o.fCommand == Command::kGallery && o.fTarget == "out" && o.fWidth == 160 && o.fFrames == 30;
       }},
      {"--help", [](const Options& o) { return o.fHelp && o.fCommand == Command::kNone; }},
      {"render --help", [](const Options& o) { return o.fHelp && o.fCommand == Command::kRender; }},
      {"help gallery", [](const Options& o) { return o.fHelp && o.fCommand == Command::kGallery; }},
  };
  for (const GoodLine& c : cases) {
    const ParsedArgs parsed = parseArgs(words(c.fLine));
    EXPECT_EQ(parsed.fError, "") << c.fLine;
    EXPECT_TRUE(c.fHolds(parsed.fOptions)) << c.fLine;
  }
  // A name with blanks, as a shell passes --set "Step Val=0.5".
  const ParsedArgs spaced = parseArgs({"render", "x", "-o", "o.png", "--set", "Step Val=0.5"});
  ASSERT_EQ(spaced.fError, "");
  EXPECT_EQ(spaced.fOptions.fChanges.at(0).fKey, "Step Val");
}

TEST(ParseArgs, MistakesAreNamedWithWhatWasExpected) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "no command given"},
      {"paint x", "unknown command 'paint'"},
      {"--frames 3", "expected a command first"},
      {"render x -o o.png --bogus", "unknown option '--bogus' for render"},
      {"list --size 4x4", "unknown option '--size' for list"},
      {"render x -o o.png --frames", "--frames needs a value"},
      {"render x -o o.png --copy=yes", "--copy takes no value"},
      {"render x", "render needs an output"},
      {"render", "render needs a plug-in"},
      {"gallery", "gallery needs an output folder"},
      {"info a b", "unexpected argument 'b'"},
      {"render x -o o.png --raw 4x4 -i in.png", "choose one"},
      {"render x -o o.png --size 640", "bad size '640': expected WIDTHxHEIGHT"},
      {"render x -o o.png --size 0x10", "bad size"},
      {"render x -o o.png --size 8193x10", "each 1 to 8192"},
      {"render x -o o.png --size 10x-3", "bad size"},
      {"render x -o o.png --depth 16", "bad depth '16': expected 24 or 32"},
      {"render x -o o.png --frames 0", "bad frame count '0'"},
      {"render x -o o.png --frames 2.5", "bad frame count"},
      {"render x -o o.png --fps 0", "bad frame rate"},
      {"render x -o o.png --set Blend", "expected NAME=VALUE"},
      {"render x -o o.png --set =0.5", "expected NAME=VALUE"},
      {"render x -o o.png --set Blend=lots", "bad value in 'Blend=lots': expected a number"},
      {"render x -o o.png --set Blend=nan", "expected a number"},
      {"render x -o o.png --set Blend=0:1", "expected NAME=VALUE"},
      {"render x -o o.png --sweep Blend=0.5", "expected NAME=FROM:TO"},
      {"render x -o o.png --sweep Blend=0:x", "expected a number"},
  };
  for (const auto& [line, fragment] : cases) {
    const ParsedArgs parsed = parseArgs(words(line));
    EXPECT_NE(parsed.fError.find(fragment), std::string::npos) << line << " -> " << parsed.fError;
  }
}

TEST(NumberedName, FillsInTheFrameNumber) {
  EXPECT_EQ(numberedName("f-%04d.png", 7), "f-0007.png");
  EXPECT_EQ(numberedName("f%d.png", 12345), "f12345.png");
  EXPECT_EQ(numberedName("dir/%02d", 123), "dir/123");
  EXPECT_EQ(numberedName("still.png", 3), std::nullopt);
  for (const char* bad : {"f-%s.png", "f-%d-%d.png", "f-%4d.png", "f-%"}) {
    try {
      numberedName(bad, 1);
      ADD_FAILURE() << bad << " accepted";
    } catch (const Problem& p) {
      EXPECT_EQ(p.fStatus, kExitUsage) << bad;
      EXPECT_NE(p.fMessage.find("expected one %d or %0Nd"), std::string::npos) << p.fMessage;
    }
  }
}

TEST(ResolveParameter, ByNameInAnyCaseOrByIndex) {
  const std::vector<ParamInfo> params = {{"Blend", 10, 0.12f}, {"Step Val", 10, 0.65f}, {"Ang Mul", 10, 0.2f}};
  EXPECT_EQ(resolveParameter("Blend", params, "P"), 0u);
  EXPECT_EQ(resolveParameter("step val", params, "P"), 1u);
  EXPECT_EQ(resolveParameter(" ANG MUL ", params, "P"), 2u);
  EXPECT_EQ(resolveParameter("2", params, "P"), 2u);
  for (const char* unknown : {"Blur", "3", "99999999999", "-1", ""}) {
    try {
      resolveParameter(unknown, params, "OxaFGPellum1");
      ADD_FAILURE() << unknown << " accepted";
    } catch (const Problem& p) {
      EXPECT_EQ(p.fStatus, kExitUsage);
      EXPECT_NE(p.fMessage.find("for OxaFGPellum1: expected one of \"Blend\", \"Step Val\", \"Ang Mul\" or an "
                                "index from 0 to 2"),
                std::string::npos)
          << p.fMessage;
    }
  }
}

TEST(ChangeValue, SweepsFromFirstToLastFrame) {
  const ParamChange sweep{"x", 0.25f, 0.75f};
  EXPECT_EQ(changeValue(sweep, 0, 5), 0.25f);
  EXPECT_EQ(changeValue(sweep, 2, 5), 0.5f);
  EXPECT_EQ(changeValue(sweep, 4, 5), 0.75f);
  EXPECT_EQ(changeValue(sweep, 0, 1), 0.25f);  // one frame: no division by zero
  EXPECT_EQ(changeValue(ParamChange{"x", 0.3f, 0.3f}, 3, 9), 0.3f);
}

}  // namespace
}  // namespace fluxgrain::tool
