#include "tools/fluxgrain/render.h"

#include <cstdio>

#include "tools/fluxgrain/frameio.h"
#include "tools/fluxgrain/progress.h"
#include "tools/fluxgrain/problem.h"

namespace fluxgrain::tool {

namespace {

constexpr std::uint32_t kDefaultFrames = 120;  // a still input or the pattern has no end
constexpr double kDefaultFps = 30;

std::string folded(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  const auto last = text.find_last_not_of(' ');
  std::string out = first == std::string::npos ? "" : text.substr(first, last - first + 1);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct Change {
  FFUInt32 fIndex;
  ParamChange fChange;
};

}  // namespace

FFUInt32 resolveParameter(const std::string& key, const std::vector<ParamInfo>& params,
                          const std::string& pluginName) {
  for (std::size_t i = 0; i < params.size(); ++i)
    if (folded(params[i].fName) == folded(key)) return FFUInt32(i);
  if (!key.empty() && key.find_first_not_of("0123456789") == std::string::npos && key.size() < 10) {
    const unsigned long index = std::stoul(key);
    if (index < params.size()) return FFUInt32(index);
  }
  std::string names;
  for (const ParamInfo& param : params) names += (names.empty() ? "\"" : ", \"") + param.fName + "\"";
  if (params.empty()) usageError("unknown parameter '" + key + "': " + pluginName + " has no parameters");
  usageError("unknown parameter '" + key + "' for " + pluginName + ": expected one of " + names +
             " or an index from 0 to " + std::to_string(params.size() - 1));
}

float changeValue(const ParamChange& change, std::uint64_t index, std::uint64_t total) {
  if (change.fFrom == change.fTo || total < 2) return change.fFrom;
  const double t = double(index) / double(total - 1);
  return float(double(change.fFrom) + (double(change.fTo) - double(change.fFrom)) * t);
}

void runRender(const Options& o, const std::string& pluginPath) {
  const std::uint32_t bytesPerPixel = o.fDepth / 8;
  FrameSource source = openSource(o.fInput, o.fRawWidth, o.fRawHeight, bytesPerPixel);
  const std::uint32_t width = o.fWidth ? o.fWidth : source.fWidth;
  const std::uint32_t height = o.fHeight ? o.fHeight : source.fHeight;
  if (source.fKind == SourceKind::kPattern) {  // drawn at the frame size, never scaled
    source.fWidth = width;
    source.fHeight = height;
  }
  const bool endless = source.fKind == SourceKind::kPattern || source.fKind == SourceKind::kStill;
  if (o.fFrames > 0 && source.fAvailable > 0 && o.fFrames > source.fAvailable)
    usageError("--frames " + std::to_string(o.fFrames) + " asks for more frames than " + o.fInput + " holds (" +
               std::to_string(source.fAvailable) + ")");
  const std::uint64_t total = o.fFrames > 0 ? o.fFrames : endless ? kDefaultFrames : source.fAvailable;

  PluginPtr plugin = openPlugin(pluginPath);
  const PluginInfo info = describePlugin(*plugin);
  if (!(o.fDepth == 24 ? info.fVideo24 : info.fVideo32))
    fail(info.fName + " does not take " + std::to_string(o.fDepth) + "-bit frames; try --depth " +
         (o.fDepth == 24 ? "32" : "24"));
  if (o.fCopy && !info.fFrameCopy) fail(info.fName + " does not offer FF_PROCESSFRAMECOPY; leave out --copy");
  std::vector<Change> changes;
  bool sweeping = false;
  for (const ParamChange& change : o.fChanges) {
    changes.push_back({resolveParameter(change.fKey, info.fParams, info.fName), change});
    sweeping = sweeping || change.fFrom != change.fTo;
  }
  if (sweeping && total == 0)
    usageError("--sweep needs to know how many frames the run has: add --frames N");

  InstancePtr instance = createInstance(*plugin, width, height, o.fDepth);
  const double fps = o.fFps > 0 ? o.fFps : source.fFps > 0 ? source.fFps : kDefaultFps;
  FrameSink sink = openSink(o.fOutput, width, height, fps);

  Image frame = blankImage(width, height, bytesPerPixel);
  Image output = blankImage(width, height, bytesPerPixel);
  Progress progress = startProgress(info.fName, total, o.fQuiet);
  std::uint64_t done = 0;
  for (; total == 0 || done < total; ++done) {
    if (!readFrame(source, done, frame)) {
      if (total == 0) break;
      fail(o.fInput + " ended after " + std::to_string(done) + " of " + std::to_string(total) + " frames");
    }
    for (const Change& change : changes)
      if (done == 0 || change.fChange.fFrom != change.fChange.fTo)
        setParameter(*instance, change.fIndex, changeValue(change.fChange, done, total));
    if (o.fCopy) {
      processFrameCopy(*instance, frame.fPixels.data(), output.fPixels.data());
      writeFrame(sink, output);
    } else {
      processFrame(*instance, frame.fPixels.data());
      writeFrame(sink, frame);
    }
    showProgress(progress, done + 1);
  }
  endProgress(progress);
  if (done == 0) fail("no frames to render: " + (o.fInput.empty() ? std::string("standard input") : o.fInput) + " is empty");
  finishSink(sink);
  if (!o.fQuiet)
    std::fprintf(sink.fKind == SinkKind::kRaw ? stderr : stdout, "%s: %llu frames of %ux%u, %u-bit -> %s\n",
                 info.fName.c_str(), static_cast<unsigned long long>(done), unsigned(width), unsigned(height),
                 unsigned(o.fDepth), sink.fKind == SinkKind::kRaw ? "standard output" : o.fOutput.c_str());
}

}  // namespace fluxgrain::tool
