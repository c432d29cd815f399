// The frame run shared by the reference host's programs.
#include "tests/host/frameDriver.h"
#include "tests/support/patternBytes.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fluxgrain::drive {

int finish(int rc) {
  std::fflush(stderr);
  std::printf("done rc=%d\n", rc);
  std::fflush(stdout);
  return rc;
}

int fail(const std::string& why) {
  std::fprintf(stderr, "fluxgrain-drive: %s\n", why.c_str());
  return finish(1);
}

namespace {

struct ParamChange {
  long fBeforeFrame;
  FFUInt32 fIndex;
  float fValue;
};

// The input is either "pattern:SEED" or a file holding exactly one raw frame.
bool readImage(const std::string& source, std::vector<std::uint8_t>& image) {
  if (source.rfind("pattern:", 0) == 0) {
    const auto seed = std::uint32_t(std::strtoul(source.c_str() + 8, nullptr, 10));
    image = patternBytes(image.size(), seed);
    return true;
  }
  std::FILE* f = std::fopen(source.c_str(), "rb");
  if (f == nullptr) return false;
  const bool ok = std::fread(image.data(), 1, image.size(), f) == image.size() &&
                  std::fgetc(f) == EOF;
  std::fclose(f);
  return ok;
}

bool parseChange(const char* text, ParamChange& change) {
  char* end = nullptr;
  change.fBeforeFrame = std::strtol(text, &end, 10);
  if (end == text || *end != ':' || change.fBeforeFrame < 1) return false;
  const char* indexText = end + 1;
  change.fIndex = FFUInt32(std::strtoul(indexText, &end, 10));
  if (end == indexText || *end != '=') return false;
  const char* valueText = end + 1;
  change.fValue = std::strtof(valueText, &end);
  return end != valueText && *end == '\0';
}

}  // namespace

int runFrames(PlugMainFn plugMain, int count, char** args) {
  if (count < 4) return fail("expected WxH[:BITS] FRAMES INPUT OUTPUT [K:INDEX=VALUE ...]");
  unsigned width = 0, height = 0, bits = 32;
  const int fields = std::sscanf(args[0], "%ux%u:%u", &width, &height, &bits);
  if (fields < 2 || width == 0 || height == 0 || width > 4096 || height > 4096 ||
      (bits != 24 && bits != 32)) {
    return fail(std::string("bad frame format ") + args[0]);
  }
  const unsigned pixelBytes = bits / 8;
  const long frames = std::strtol(args[1], nullptr, 10);
  if (frames < 1) return fail(std::string("bad frame count ") + args[1]);
  std::vector<std::uint8_t> input(std::size_t(width) * height * pixelBytes);
  if (!readImage(args[2], input)) return fail(std::string("cannot read the input ") + args[2]);
  std::vector<ParamChange> changes;
  for (int a = 4; a < count; ++a) {
    ParamChange c{};
    if (!parseChange(args[a], c)) return fail(std::string("bad parameter change ") + args[a]);
    changes.push_back(c);
  }

  if (plugMain(FF_INITIALISE, mixedWord(0), nullptr).UIntValue != FF_SUCCESS)
    return fail("FF_INITIALISE failed");
  const VideoInfoStruct info{width, height, bits == 32 ? FF_DEPTH_32 : FF_DEPTH_24, 1};
  const FFMixed created = plugMain(FF_INSTANTIATE, mixedPointer(&info), nullptr);
  if (created.UIntValue == FF_FAIL || created.PointerValue == nullptr)
    return fail("FF_INSTANTIATE failed");
  const FFInstanceID instance = created.PointerValue;

  std::FILE* out = std::fopen(args[3], "wb");
  if (out == nullptr) return fail(std::string("cannot write ") + args[3]);
  std::vector<std::uint8_t> frame(input.size());
  int rc = 0;
  for (long k = 0; k < frames && rc == 0; ++k) {
    for (const ParamChange& c : changes) {
      if (c.fBeforeFrame != k) continue;
      SetParameterStruct set{};
      set.index = c.fIndex;
      set.value.FloatValue = c.fValue;
      if (plugMain(FF_SETPARAMETER, mixedPointer(&set), instance).UIntValue != FF_SUCCESS)
        std::fprintf(stderr, "fluxgrain-drive: parameter %u refused\n", unsigned(c.fIndex));
    }
    frame = input;
    if (plugMain(FF_PROCESSFRAME, mixedPointer(frame.data()), instance).UIntValue != FF_SUCCESS) {
      std::fprintf(stderr, "fluxgrain-drive: FF_PROCESSFRAME failed at frame %ld\n", k);
      rc = 1;
    } else if (std::fwrite(frame.data(), 1, frame.size(), out) != frame.size()) {
      std::fprintf(stderr, "fluxgrain-drive: cannot write %s\n", args[3]);
      rc = 1;
    }
  }
  if (std::fclose(out) != 0) rc = 1;
  if (plugMain(FF_DEINSTANTIATE, mixedWord(0), instance).UIntValue != FF_SUCCESS ||
      plugMain(FF_DEINITIALISE, mixedWord(0), nullptr).UIntValue != FF_SUCCESS) {
    return fail("FF_DEINSTANTIATE or FF_DEINITIALISE failed");
  }
  return finish(rc);
}

}  // namespace fluxgrain::drive
