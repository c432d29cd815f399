#include "tools/fluxgrain/args.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace fluxgrain::tool {

namespace {

constexpr std::uint32_t kMaxSide = 8192;
constexpr std::uint32_t kMaxFrames = 10'000'000;

template <class T>
std::optional<T> number(std::string_view text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  if constexpr (std::is_floating_point_v<T>)
    if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::string quoted(std::string_view text) {
  std::string out(1, '\'');
  out.append(text);
  out += '\'';
  return out;
}

// Which options each command takes (a bit per command), and whether they need a value.
constexpr unsigned kRender = 1, kGallery = 2, kInfo = 4;
struct OptionDef {
  std::string_view fName;
  bool fTakesValue;
  unsigned fCommands;
};
constexpr OptionDef kOptions[] = {
    {"--input", true, kRender},  {"--output", true, kRender},          {"--raw", true, kRender},
    {"--size", true, kRender | kGallery},  {"--depth", true, kRender}, {"--frames", true, kRender | kGallery},
    {"--fps", true, kRender | kGallery},   {"--set", true, kRender},   {"--sweep", true, kRender},
    {"--copy", false, kRender},  {"--quiet", false, kRender | kGallery},
    {"--plugins", true, kRender | kGallery | kInfo},
};

unsigned commandBit(Command command) {
  switch (command) {
    case Command::kRender: return kRender;
    case Command::kGallery: return kGallery;
    case Command::kInfo: return kInfo;
    default: return 0;
  }
}

const OptionDef* findOption(std::string_view name) {
  if (name == "-i") name = "--input";
  if (name == "-o") name = "--output";
  if (name == "-q") name = "--quiet";
  for (const OptionDef& def : kOptions)
    if (def.fName == name) return &def;
  return nullptr;
}

// "WxH" with both sides in 1..kMaxSide.
std::string parseSize(std::string_view text, std::uint32_t& width, std::uint32_t& height) {
  const auto x = text.find('x');
  const auto w = number<std::uint32_t>(text.substr(0, x));
  const auto h = x == std::string_view::npos ? std::nullopt : number<std::uint32_t>(text.substr(x + 1));
  if (!w || !h || *w < 1 || *h < 1 || *w > kMaxSide || *h > kMaxSide)
    return "bad size " + quoted(text) + ": expected WIDTHxHEIGHT, each 1 to " + std::to_string(kMaxSide);
  width = *w;
  height = *h;
  return {};
}

// "NAME=VALUE" (sweep: "NAME=FROM:TO").
std::string parseChange(std::string_view text, bool sweep, ParamChange& change) {
  const char* expected = sweep ? "NAME=FROM:TO" : "NAME=VALUE";
  const auto eq = text.rfind('=');
  if (eq == std::string_view::npos || eq == 0)
    return "bad parameter setting " + quoted(text) + ": expected " + expected;
  change.fKey = text.substr(0, eq);
  const std::string_view values = text.substr(eq + 1);
  const auto colon = values.find(':');
  if (sweep != (colon != std::string_view::npos))
    return "bad parameter setting " + quoted(text) + ": expected " + expected;
  const auto from = number<float>(values.substr(0, colon));
  const auto to = sweep ? number<float>(values.substr(colon + 1)) : from;
  if (!from || !to)
    return "bad value in " + quoted(text) + ": expected a number (parameters run from 0 to 1)";
  change.fFrom = *from;
  change.fTo = *to;
  return {};
}

std::string applyOption(const OptionDef& def, std::string_view value, Options& o) {
  const std::string_view name = def.fName;
  if (name == "--input") o.fInput = value;
  else if (name == "--output") o.fOutput = value;
  else if (name == "--plugins") o.fPluginDir = value;
  else if (name == "--copy") o.fCopy = true;
  else if (name == "--quiet") o.fQuiet = true;
  else if (name == "--raw") {
    o.fRawInput = true;
    return parseSize(value, o.fRawWidth, o.fRawHeight);
  } else if (name == "--size") {
    return parseSize(value, o.fWidth, o.fHeight);
  } else if (name == "--depth") {
    const auto depth = number<std::uint32_t>(value);
    if (!depth || (*depth != 24 && *depth != 32))
      return "bad depth " + quoted(value) + ": expected 24 or 32 (bits per pixel)";
    o.fDepth = *depth;
  } else if (name == "--frames") {
    const auto frames = number<std::uint32_t>(value);
    if (!frames || *frames < 1 || *frames > kMaxFrames)
      return "bad frame count " + quoted(value) + ": expected a whole number from 1 to " +
             std::to_string(kMaxFrames);
    o.fFrames = *frames;
  } else if (name == "--fps") {
    const auto fps = number<double>(value);
    if (!fps || *fps <= 0 || *fps > 1000)
      return "bad frame rate " + quoted(value) + ": expected a number above 0, at most 1000";
    o.fFps = *fps;
  } else {
    ParamChange change;
    if (std::string problem = parseChange(value, name == "--sweep", change); !problem.empty())
      return problem;
    o.fChanges.push_back(change);
  }
  return {};
}

Command commandOf(std::string_view word) {
  if (word == "list") return Command::kList;
  if (word == "info") return Command::kInfo;
  if (word == "render") return Command::kRender;
  if (word == "gallery") return Command::kGallery;
  return Command::kNone;
}

std::string checkCombination(const Options& o, const std::vector<std::string_view>& positional) {
  const std::string see = "; see 'fluxgrain " + std::string(commandName(o.fCommand)) + " --help'";
  const std::size_t most = 1, least = o.fCommand == Command::kList ? 0 : 1;
  if (positional.size() < least) {
    const char* what = o.fCommand == Command::kGallery ? "an output folder" : "a plug-in";
    return std::string(commandName(o.fCommand)) + " needs " + what + see;
  }
  if (positional.size() > most) return "unexpected argument " + quoted(positional[most]) + see;
  if (o.fCommand != Command::kRender) return {};
  if (o.fOutput.empty()) return "render needs an output: -o FILE (PNG, numbered PNGs, video or - for raw)" + see;
  if (o.fRawInput && !o.fInput.empty()) return "--raw and --input both give the input; choose one" + see;
  return {};
}

}  // namespace

ParsedArgs parseArgs(const std::vector<std::string>& args) {
  ParsedArgs result;
  Options& o = result.fOptions;
  std::vector<std::string_view> positional;
  std::size_t i = 0;
  if (!args.empty() && !args[0].starts_with("-")) {
    o.fCommand = commandOf(args[0]);
    if (o.fCommand == Command::kNone && args[0] != "help") {
      result.fError = "unknown command " + quoted(args[0]) + ": expected list, info, render or gallery";
      return result;
    }
    if (args[0] == "help") {  // "fluxgrain help [COMMAND]"
      o.fHelp = true;
      if (args.size() > 1) o.fCommand = commandOf(args[1]);
      return result;
    }
    i = 1;
  }
  for (; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      o.fHelp = true;
      return result;
    }
    if (!arg.starts_with("-") || arg == "-") {
      positional.push_back(arg);
      continue;
    }
    if (o.fCommand == Command::kNone) {
      result.fError = "unknown option " + quoted(arg) + ": expected a command first (list, info, render, gallery)";
      return result;
    }
    std::string_view value;
    bool inlineValue = false;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    const OptionDef* def = findOption(arg);
    const bool allowed = def != nullptr && (def->fCommands & commandBit(o.fCommand)) != 0;
    if (!allowed) {
      result.fError = "unknown option " + quoted(arg) + " for " + commandName(o.fCommand) +
                      "; see 'fluxgrain " + commandName(o.fCommand) + " --help'";
      return result;
    }
    if (def->fTakesValue && !inlineValue) {
      if (i + 1 == args.size()) {
        result.fError = std::string(def->fName) + " needs a value";
        return result;
      }
      value = args[++i];
    } else if (!def->fTakesValue && inlineValue) {
      result.fError = std::string(def->fName) + " takes no value";
      return result;
    }
    if (std::string problem = applyOption(*def, value, o); !problem.empty()) {
      result.fError = problem;
      return result;
    }
  }
  if (o.fCommand == Command::kNone) {
    result.fError = "no command given: expected list, info, render or gallery; see 'fluxgrain --help'";
    return result;
  }
  result.fError = checkCombination(o, positional);
  if (!positional.empty()) o.fTarget = positional[0];
  return result;
}

const char* commandName(Command command) {
  switch (command) {
    case Command::kList: return "list";
    case Command::kInfo: return "info";
    case Command::kRender: return "render";
    case Command::kGallery: return "gallery";
    default: return "";
  }
}

const char* usageText(Command command) {
  switch (command) {
    case Command::kList:
      return "usage: fluxgrain list [DIR]\n"
             "\n"
             "Lists every FreeFrame plug-in in DIR (default: the folder of the Fluxgrain plug-ins):\n"
             "file, unique ID, name, version, description and parameter count.\n";
    case Command::kInfo:
      return "usage: fluxgrain info PLUGIN [--plugins DIR]\n"
             "\n"
             "Shows a plug-in's identity, about text and capabilities, and each parameter with its\n"
             "index, name, type, default and the plug-in's display text of the default.\n"
             "PLUGIN is a file (path/to/Effect.so) or a name looked up in the plug-in folder\n"
             "(OxaFGPellum1, or any unique part of it such as pellum); --plugins DIR sets that folder.\n";
    case Command::kRender:
      return "usage: fluxgrain render PLUGIN -o OUTPUT [options]\n"
             "\n"
             "Runs frames through a plug-in and writes what comes out.\n"
             "\n"
             "Input (default: the built-in animated test pattern):\n"
             "  -i, --input FILE       a PNG image (fed every frame, so the feedback builds up),\n"
             "                         numbered PNGs (a name with %d or %04d: frame-%04d.png),\n"
             "                         or a video file\n"
             "      --raw WxH          raw frames of WxH pixels on standard input\n"
             "                         (RGBA for --depth 32, RGB for --depth 24)\n"
             "Output:\n"
             "  -o, --output FILE      FILE.png: the last frame; a name with %d or %04d: every\n"
             "                         frame as numbered PNGs; .mkv (FFV1, lossless), .mp4, .avi,\n"
             "                         .mov (MPEG-4 part 2): a video; -: raw frames on standard output\n"
             "Options:\n"
             "      --size WxH         frame size (default: the input's size, or 320x240)\n"
             "      --depth 24|32      bits per pixel of the frames the plug-in sees (default 32)\n"
             "      --frames N         how many frames (default: the whole input; 120 for the\n"
             "                         test pattern or a still image)\n"
             "      --set NAME=VALUE   set a parameter, by name (any case) or index; repeatable\n"
             "      --sweep NAME=FROM:TO  move a parameter linearly from FROM to TO over the run\n"
             "      --copy             use FF_PROCESSFRAMECOPY instead of processing in place\n"
             "      --fps N            frame rate of video output (default: the input's, or 30)\n"
             "      --plugins DIR      where plug-in names are looked up\n"
             "  -q, --quiet            no progress bar\n"
             "\n"
             "PNG and video output hold RGB; raw output keeps every byte of the frames.\n"
             "Example: fluxgrain render pellum --set \"Blend=0.3\" --sweep \"Step Val=0.5:1\" -o out.mp4\n";
    case Command::kGallery:
      return "usage: fluxgrain gallery OUTDIR [--size WxH] [--frames N] [--fps N] [--plugins DIR] [--quiet]\n"
             "\n"
             "Renders all eight Fluxgrain effects at their defaults on the built-in test pattern\n"
             "(default: 120 frames of 320x240) and writes into OUTDIR:\n"
             "  NAME.png           the last frame of each effect\n"
             "  NAME.mp4           the whole run of each effect as a short clip\n"
             "  pattern.png        the test pattern, unprocessed\n"
             "  contact-sheet.png  the eight stills side by side, each with its name under it\n";
    default:
      return "usage: fluxgrain COMMAND [ARGS]\n"
             "\n"
             "A FreeFrame 1.0 host for the command line: it loads plug-ins and runs video through them.\n"
             "\n"
             "Commands:\n"
             "  list [DIR]              the plug-ins in a folder\n"
             "  info PLUGIN             a plug-in's identity, capabilities and parameters\n"
             "  render PLUGIN -o OUT    frames through a plug-in into PNGs, a video or a pipe\n"
             "  gallery OUTDIR          stills, clips and a contact sheet of all eight effects\n"
             "\n"
             "'fluxgrain COMMAND --help' tells more about each. Exit status: 0 done, 1 failed,\n"
             "2 the command line was wrong.\n";
  }
}

}  // namespace fluxgrain::tool
