// The command line of `fluxgrain`, read into an options record without touching any file, so
// that every mistake is found before work starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fluxgrain::tool {

enum class Command { kNone, kList, kInfo, kRender, kGallery };

// --set NAME=VALUE (fFrom == fTo) or --sweep NAME=FROM:TO; NAME is a parameter name or index,
// resolved once the plug-in is loaded.
struct ParamChange {
  std::string fKey;
  float fFrom = 0;
  float fTo = 0;
};

struct Options {
  Command fCommand = Command::kNone;
  bool fHelp = false;          // --help: print the usage of fCommand (or of the tool) and stop
  std::string fTarget;         // list: DIR; info, render: PLUGIN; gallery: OUTDIR
  std::string fInput;          // render: empty for the built-in test pattern
  std::string fOutput;         // render: a PNG, a numbered PNG pattern, a video file or "-"
  bool fRawInput = false;      // --raw WxH: frames of that size on standard input
  std::uint32_t fRawWidth = 0;
  std::uint32_t fRawHeight = 0;
  std::uint32_t fWidth = 0;    // --size; 0 when not given
  std::uint32_t fHeight = 0;
  std::uint32_t fDepth = 32;   // bits per pixel, 24 or 32
  std::uint32_t fFrames = 0;   // 0 when not given
  double fFps = 0;             // 0 when not given
  std::vector<ParamChange> fChanges;
  bool fCopy = false;
  bool fQuiet = false;
  std::string fPluginDir;      // --plugins DIR: where names are looked up; empty for the default
};

struct ParsedArgs {
  Options fOptions;
  std::string fError;  // empty when the command line is sound
};

// `args` is the command line without the program name.
ParsedArgs parseArgs(const std::vector<std::string>& args);

// The --help text of a command (kNone: of the whole tool).
const char* usageText(Command command);
const char* commandName(Command command);

}  // namespace fluxgrain::tool
