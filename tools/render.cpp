// fluxgrain-render: loads one plug-in as a Linux host does, feeds a synthetic test card through
// it for a number of frames and writes the last output frame as a PNG picture.
//
//   fluxgrain-render PLUGIN.so OUT.png [--frames N] [--size WxH] [--param INDEX=VALUE ...]
//   fluxgrain-render --testcard OUT.png [--size WxH]
#include <dlfcn.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/freeframe.h"
#include "tools/png.h"

namespace {

using fluxgrain::tools::writePng;
using PlugMainFn = FFMixed (*)(FFUInt32, FFMixed, FFInstanceID);

constexpr std::uint32_t kMaxSide = 4096;

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::string fPlugin;  // empty with --testcard
  std::string fOutput;
  int fFrames = 120;
  std::uint32_t fWidth = 320, fHeight = 240;
  std::vector<std::pair<FFUInt32, float>> fParams;
};

// ---- test card -------------------------------------------------------------------------------

struct Rgb {
  std::uint8_t r, g, b;
};

Rgb scaled(Rgb c, double f) {
  return {std::uint8_t(c.r * f), std::uint8_t(c.g * f), std::uint8_t(c.b * f)};
}

// Fully saturated colour of hue t in [0, 1).
Rgb hue(double t) {
  const double h = t * 6.0;
  const int sector = int(h) % 6;
  const auto up = std::uint8_t(255 * (h - std::floor(h)));
  const auto down = std::uint8_t(255 - up);
  switch (sector) {
    case 0: return {255, up, 0};
    case 1: return {down, 255, 0};
    case 2: return {0, 255, up};
    case 3: return {0, down, 255};
    case 4: return {up, 0, 255};
    default: return {255, 0, down};
  }
}

// Colour bars fading downwards, a hue sweep and a grey ramp, a dark grid, and a few bright shapes:
// plenty of edges and colour for the displacement to smear. RGBA, rows top to bottom.
std::vector<std::uint8_t> makeTestCard(std::uint32_t width, std::uint32_t height) {
  static constexpr Rgb kBars[] = {{255, 255, 255}, {255, 230, 0}, {0, 230, 255}, {0, 220, 0},
                                  {240, 0, 240},   {240, 0, 0},   {0, 40, 255}};
  const int w = int(width), h = int(height);
  const int barsEnd = h * 2 / 3, sweepEnd = h * 5 / 6;
  const int cell = std::max(4, h / 12);
  const double cx1 = w * 0.25, cy1 = h * 0.33, r1 = h / 9.0;   // filled disc
  const double cx2 = w * 0.72, cy2 = h * 0.38, r2 = h / 7.0;   // ring
  const double cx3 = w * 0.50, cy3 = h * 0.62, r3 = h / 10.0;  // diamond

  std::vector<std::uint8_t> image(std::size_t(width) * height * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      Rgb c;
      if (y < barsEnd) {
        c = scaled(kBars[x * 7 / w], 1.0 - 0.5 * y / barsEnd);
      } else if (y < sweepEnd) {
        c = hue(double(x) / w);
      } else {
        const auto v = std::uint8_t(255 * x / std::max(1, w - 1));
        c = {v, v, v};
      }
      if (x % cell == 0 || y % cell == 0) c = {24, 24, 24};

      const double d1 = std::hypot(x - cx1, y - cy1), d2 = std::hypot(x - cx2, y - cy2);
      const double d3 = std::abs(x - cx3) + std::abs(y - cy3);
      if (d1 <= r1) c = {255, 255, 255};
      if (std::abs(d2 - r2) <= h / 60.0 + 0.5) c = {255, 255, 160};
      if (d3 <= r3) c = d3 >= r3 - 2.0 ? Rgb{0, 0, 0} : Rgb{255, 140, 0};

      std::uint8_t* p = &image[(std::size_t(y) * width + std::size_t(x)) * 4];
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
      p[3] = 255;
    }
  }
  return image;
}

// ---- host ------------------------------------------------------------------------------------

FFMixed uintWord(FFUInt32 value) {
  FFMixed m{};
  m.PointerValue = nullptr;
  m.UIntValue = value;
  return m;
}

FFMixed pointerWord(const void* p) {
  FFMixed m{};
  m.PointerValue = const_cast<void*>(p);
  return m;
}

// One loaded plug-in with at most one instance. The destructor undoes whatever an early failure
// left behind; the normal path shuts down explicitly so that its answers are checked.
class Host {
 public:
  explicit Host(const std::string& path) {
    fLibrary = dlopen(path.c_str(), RTLD_NOW);
    if (fLibrary == nullptr) throw Failure("cannot load " + path + ": " + dlerror());
    fPlugMain = reinterpret_cast<PlugMainFn>(dlsym(fLibrary, "plugMain"));
    if (fPlugMain == nullptr) throw Failure(path + " does not export plugMain");
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  ~Host() {
    if (fInstance != nullptr) fPlugMain(FF_DEINSTANTIATE, uintWord(0), fInstance);
    if (fInitialised) fPlugMain(FF_DEINITIALISE, uintWord(0), nullptr);
    if (fLibrary != nullptr) dlclose(fLibrary);
  }

  // Instance-free codes go with a null instance, as hosts send them.
  FFMixed query(FFUInt32 code, FFMixed input) { return fPlugMain(code, input, nullptr); }

  // Calls and throws unless the plug-in answers FF_SUCCESS.
  void expectSuccess(FFUInt32 code, FFMixed input, FFInstanceID instance, const char* what) {
    const FFUInt32 answer = fPlugMain(code, input, instance).UIntValue;
    if (answer != FF_SUCCESS) {
      char text[128];
      std::snprintf(text, sizeof text, "%s failed (answer 0x%08X)", what, unsigned(answer));
      throw Failure(text);
    }
  }

  void initialise() {
    expectSuccess(FF_INITIALISE, uintWord(0), nullptr, "FF_INITIALISE");
    fInitialised = true;
  }

  void instantiate(std::uint32_t width, std::uint32_t height) {
    if (query(FF_GETPLUGINCAPS, uintWord(FF_CAP_32BITVIDEO)).UIntValue != 1)
      throw Failure("the plug-in does not support 32-bit frames");
    const VideoInfoStruct info{width, height, FF_DEPTH_32, 1};
    const FFMixed answer = query(FF_INSTANTIATE, pointerWord(&info));
    if (answer.UIntValue == FF_FAIL || answer.PointerValue == nullptr)
      throw Failure("FF_INSTANTIATE failed for " + std::to_string(width) + "x" +
                    std::to_string(height) + " 32-bit frames");
    fInstance = answer.PointerValue;
  }

  void setParameter(FFUInt32 index, float value) {
    const FFUInt32 count = query(FF_GETNUMPARAMETERS, uintWord(0)).UIntValue;
    if (index >= count)
      throw Failure("parameter index " + std::to_string(index) + " out of range: the plug-in has " +
                    std::to_string(count) + " parameters");
    SetParameterStruct set{};
    set.index = index;
    set.value.FloatValue = value;
    expectSuccess(FF_SETPARAMETER, pointerWord(&set), fInstance,
                  ("FF_SETPARAMETER " + std::to_string(index)).c_str());
  }

  void processFrame(void* frame) {
    expectSuccess(FF_PROCESSFRAME, pointerWord(frame), fInstance, "FF_PROCESSFRAME");
  }

  void shutDown() {
    FFInstanceID instance = std::exchange(fInstance, nullptr);
    expectSuccess(FF_DEINSTANTIATE, uintWord(0), instance, "FF_DEINSTANTIATE");
    fInitialised = false;
    expectSuccess(FF_DEINITIALISE, uintWord(0), nullptr, "FF_DEINITIALISE");
  }

  std::string name() {
    const FFMixed answer = query(FF_GETINFO, uintWord(0));
    if (answer.UIntValue == FF_FAIL || answer.PointerValue == nullptr)
      throw Failure("FF_GETINFO failed");
    const auto* info = static_cast<const PlugInfoStruct*>(answer.PointerValue);
    return std::string(info->PluginName, strnlen(info->PluginName, sizeof info->PluginName));
  }

 private:
  void* fLibrary = nullptr;
  PlugMainFn fPlugMain = nullptr;
  FFInstanceID fInstance = nullptr;
  bool fInitialised = false;
};

void render(const Options& o) {
  Host host(o.fPlugin);
  host.initialise();
  const std::string name = host.name();
  host.instantiate(o.fWidth, o.fHeight);
  for (const auto& [index, value] : o.fParams) host.setParameter(index, value);

  const std::vector<std::uint8_t> card = makeTestCard(o.fWidth, o.fHeight);
  std::vector<std::uint8_t> frame;
  for (int i = 0; i < o.fFrames; ++i) {
    frame = card;  // processed in place: every frame starts from the same input
    host.processFrame(frame.data());
  }
  host.shutDown();

  if (!writePng(o.fOutput, o.fWidth, o.fHeight, frame.data()))
    throw Failure("cannot write " + o.fOutput);
  std::printf("%s: %d frames of %ux%u -> %s\n", name.c_str(), o.fFrames, unsigned(o.fWidth),
              unsigned(o.fHeight), o.fOutput.c_str());
}

// ---- command line ----------------------------------------------------------------------------

template <class T>
bool parseNumber(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

// Fills `o` from the command line; returns what is wrong with it, or an empty text.
std::string parseArgs(int argc, char** argv, Options& o, bool& testCard) {
  std::vector<std::string_view> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--testcard") {
      testCard = true;
      continue;
    }
    if (!arg.starts_with("--")) {
      positional.push_back(arg);
      continue;
    }
    if (arg != "--frames" && arg != "--size" && arg != "--param")
      return "unknown option " + std::string(arg);
    if (i + 1 == argc) return std::string(arg) + " needs a value";
    const std::string_view value = argv[++i];
    const std::string bad = "bad " + std::string(arg) + " value '" + std::string(value) + "'";
    if (arg == "--frames") {
      if (!parseNumber(value, o.fFrames) || o.fFrames < 1) return bad;
    } else if (arg == "--size") {
      const auto x = value.find('x');
      if (x == std::string_view::npos || !parseNumber(value.substr(0, x), o.fWidth) ||
          !parseNumber(value.substr(x + 1), o.fHeight) || o.fWidth < 1 || o.fHeight < 1 ||
          o.fWidth > kMaxSide || o.fHeight > kMaxSide)
        return bad;
    } else {
      const auto eq = value.find('=');
      FFUInt32 index;
      float number;
      if (eq == std::string_view::npos || !parseNumber(value.substr(0, eq), index) ||
          !parseNumber(value.substr(eq + 1), number))
        return bad;
      o.fParams.emplace_back(index, number);
    }
  }
  if (testCard && !o.fParams.empty()) return "--testcard takes no --param";
  const std::size_t wanted = testCard ? 1 : 2;
  if (positional.size() != wanted)
    return testCard ? "--testcard needs exactly one output file"
                    : "need a plug-in and an output file";
  o.fPlugin = testCard ? "" : std::string(positional[0]);
  o.fOutput = positional[wanted - 1];
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool testCard = false;
  if (const std::string problem = parseArgs(argc, argv, options, testCard); !problem.empty()) {
    std::fprintf(stderr,
                 "fluxgrain-render: %s\n"
                 "usage: fluxgrain-render PLUGIN.so OUT.png [--frames N] [--size WxH] "
                 "[--param INDEX=VALUE ...]\n"
                 "       fluxgrain-render --testcard OUT.png [--size WxH]\n"
                 "Defaults: 120 frames of 320x240; sides up to %u pixels.\n",
                 problem.c_str(), unsigned(kMaxSide));
    return 2;
  }
  try {
    if (testCard) {
      const auto card = makeTestCard(options.fWidth, options.fHeight);
      if (!writePng(options.fOutput, options.fWidth, options.fHeight, card.data()))
        throw Failure("cannot write " + options.fOutput);
    } else {
      render(options);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fluxgrain-render: %s\n", e.what());
    return 1;
  }
  return 0;
}
