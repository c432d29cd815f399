// Every bad input a host can pass through plugMain, one row each: the answer is FF_FAIL with the
// message the plug-in shows for it (or none), the instance's parameters and frames are as they
// were, the instance goes on exactly as if the call had not been made, and nothing leaks (the
// sanitizer build's leak checker runs over the whole program).
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/frameSlots.h"
#include "tests/plugin/pluginHost.h"

namespace fluxgrain::test {
namespace {

constexpr FFUInt32 kW = 16, kH = 8, kBpp = 4;
constexpr std::uint32_t kOutOfRange = 0x3FC00000;  // 1.5: kept until a frame limits it
constexpr std::uint32_t kLimited = 0x3F800000;     // 1.0

// What a row's call may use: a live 32-bit instance, valid frames and a code-16 caller's records
// whose slot 0 of each half holds a malloc'd image of the instance's format.
struct Fixture {
  const LoadedPlugin& fPlugin;
  FFInstanceID fInstance;
  FFUInt32 fNumParams;
  Frame fInput = patternFrame(kW, kH, kBpp, 11);
  Frame fOutput = uniformFrame(kW, kH, {0x5A, 0x5A, 0x5A, 0x5A});
  void* fInputs[1] = {fInput.data()};
  ProcessFrameCopyStruct fCopy{1, fInputs, fOutput.data()};
  SetParameterStruct fSet{};
  VideoInfoStruct fFormat{kW, kH, FF_DEPTH_32, 1};
  FrameSlot fSlots[2 * kSlotsPerHalf]{};
  MultiFrame fMulti{};

  Fixture(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 numParams)
      : fPlugin(p), fInstance(instance), fNumParams(numParams) {
    fSet.value.FloatValue = 0.5f;
    for (int i = 0; i < kSlotsPerHalf; ++i) {
      fSlots[i].fKind = fSlots[kSlotsPerHalf + i].fKind = kSlotEmpty;
      fMulti.fInputs[i] = &fSlots[i];
      fMulti.fOutputs[i] = &fSlots[kSlotsPerHalf + i];
    }
    for (FrameSlot* s : {&fSlots[0], &fSlots[kSlotsPerHalf]}) {
      *s = {kSlotImage, std::int32_t(kBpp), std::malloc(fInput.size()), std::int32_t(kW),
            std::int32_t(kH), nullptr, 0, 0};
      std::memcpy(s->fImage, fInput.data(), fInput.size());
    }
    fMulti.fInCount = fMulti.fOutCount = 1;
  }
  FFMixed send(FFUInt32 code, const void* input, bool withInstance = true) {
    return call(fPlugin, code, input, withInstance ? fInstance : nullptr);
  }
  FFMixed sendIndex(FFUInt32 code, FFUInt32 index, bool withInstance = true) {
    return callIndex(fPlugin, code, index, withInstance ? fInstance : nullptr);
  }
  // Unless a code-16 call handed them over, the images are still ours.
  void freeCallerImages() {
    for (FrameSlot& s : fSlots) {
      std::free(s.fImage);
      s.fImage = nullptr;
    }
  }
};

struct BadCall {
  std::string fName;
  std::function<FFMixed(Fixture&)> fCall;
  std::string fMessage;            // the line shown, or empty
  bool fLimitsParameters = false;  // code 16 limits the values before it checks the descriptor
  bool fTakesImages = false;       // code 16 took the descriptor, and the images in it, over
};

const std::string kNoInput = "Oxa_Multi: Error: No valid input data present\n";

std::vector<BadCall> badCalls() {
  std::vector<BadCall> rows;
  auto add = [&rows](std::string name, std::function<FFMixed(Fixture&)> fn, std::string message = "",
                     bool limits = false, bool takes = false) {
    rows.push_back({std::move(name), std::move(fn), std::move(message), limits, takes});
  };
  // Codes past the last one; each gets a frame, which would be a valid input of code 3.
  for (FFUInt32 code : {17u, 18u, 255u, 0x100u, 0xFFFFFFFFu})
    add("code " + std::to_string(code), [code](Fixture& f) { return f.send(code, f.fInput.data()); });

  // Every instance code with instance 0 and an input that would otherwise be valid.
  add("FF_PROCESSFRAME, instance 0", [](Fixture& f) { return f.send(FF_PROCESSFRAME, f.fInput.data(), false); });
  add("FF_GETPARAMETERDISPLAY, instance 0", [](Fixture& f) { return f.sendIndex(FF_GETPARAMETERDISPLAY, 0, false); });
  add("FF_SETPARAMETER, instance 0", [](Fixture& f) { return f.send(FF_SETPARAMETER, &f.fSet, false); });
  add("FF_GETPARAMETER, instance 0", [](Fixture& f) { return f.sendIndex(FF_GETPARAMETER, 0, false); });
  add("FF_DEINSTANTIATE, instance 0", [](Fixture& f) { return f.send(FF_DEINSTANTIATE, nullptr, false); });
  add("FF_PROCESSFRAMECOPY, instance 0", [](Fixture& f) { return f.send(FF_PROCESSFRAMECOPY, &f.fCopy, false); });
  add("code 16, instance 0", [](Fixture& f) { return f.send(FF_PROCESSMULTI, &f.fMulti, false); });

  // Parameter indices past the list: N, N + 1, far past it, the largest.
  const std::pair<FFUInt32, const char*> indexed[] = {{FF_GETPARAMETERNAME, "FF_GETPARAMETERNAME"},
                                                      {FF_GETPARAMETERDEFAULT, "FF_GETPARAMETERDEFAULT"},
                                                      {FF_GETPARAMETERDISPLAY, "FF_GETPARAMETERDISPLAY"},
                                                      {FF_GETPARAMETER, "FF_GETPARAMETER"}};
  for (FFUInt32 past : {0u, 1u, 100u}) {
    const auto index = [past](const Fixture& f) { return f.fNumParams + past; };
    const std::string which = past == 0 ? "N" : "N+" + std::to_string(past);
    for (const auto& [code, name] : indexed)
      add(std::string(name) + ", index " + which, [index, code = code](Fixture& f) { return f.sendIndex(code, index(f)); });
    add("FF_SETPARAMETER, index " + which, [index](Fixture& f) {
      f.fSet.index = index(f);
      return f.send(FF_SETPARAMETER, &f.fSet);
    });
  }
  for (const auto& [code, name] : indexed)
    add(std::string(name) + ", index 0xFFFFFFFF", [code = code](Fixture& f) { return f.sendIndex(code, 0xFFFFFFFF); });
  add("FF_SETPARAMETER, index 0xFFFFFFFF", [](Fixture& f) {
    f.fSet.index = 0xFFFFFFFF;
    return f.send(FF_SETPARAMETER, &f.fSet);
  });

  // Null records and frames.
  add("null SetParameterStruct", [](Fixture& f) { return f.send(FF_SETPARAMETER, nullptr); });
  add("null VideoInfoStruct", [](Fixture& f) { return f.send(FF_INSTANTIATE, nullptr); });
  add("null frame", [](Fixture& f) { return f.send(FF_PROCESSFRAME, nullptr); });
  add("null ProcessFrameCopyStruct", [](Fixture& f) { return f.send(FF_PROCESSFRAMECOPY, nullptr); });
  add("null input-frame array", [](Fixture& f) {
    f.fCopy.InputFrames = nullptr;
    return f.send(FF_PROCESSFRAMECOPY, &f.fCopy);
  });
  add("null first input frame", [](Fixture& f) {
    f.fInputs[0] = nullptr;
    return f.send(FF_PROCESSFRAMECOPY, &f.fCopy);
  });
  add("null output frame", [](Fixture& f) {
    f.fCopy.OutputFrame = nullptr;
    return f.send(FF_PROCESSFRAMECOPY, &f.fCopy);
  });
  add("numInputFrames 0", [](Fixture& f) {
    f.fCopy.numInputFrames = 0;
    return f.send(FF_PROCESSFRAMECOPY, &f.fCopy);
  });

  // Formats that cannot be instantiated: bit depths, and sizes whose buffers or tables overflow.
  for (FFUInt32 depth : {0u, 3u, 0xFFFFFFFFu}) {
    add("bit depth " + std::to_string(depth), [depth](Fixture& f) {
      f.fFormat.bitDepth = depth;
      return f.send(FF_INSTANTIATE, &f.fFormat);
    });
  }
  const VideoInfoStruct huge[] = {{65536, 65536, FF_DEPTH_32, 1}, {0xFFFFFFFF, 1, FF_DEPTH_32, 1},
                                  {1, 0xFFFFFFFF, FF_DEPTH_24, 1}, {0x80000000, 1, FF_DEPTH_24, 1},
                                  {46341, 46341, FF_DEPTH_32, 1},  {32768, 16384, FF_DEPTH_24, 1},
                                  {0xFFFFFFFF, 0xFFFFFFFF, FF_DEPTH_32, 1}};
  for (const VideoInfoStruct& v : huge) {
    add("size " + std::to_string(v.frameWidth) + "x" + std::to_string(v.frameHeight),
        [v](Fixture& f) { return f.send(FF_INSTANTIATE, &v); });
  }

  // Code-16 descriptors without a usable slot 0.
  add("code 16, null descriptor", [](Fixture& f) { return f.send(FF_PROCESSMULTI, nullptr); },
      "Oxa_Multi: Error: pFrameData == NULL\n", true);
  add("code 16, input count 0", [](Fixture& f) {
    f.fMulti.fInCount = 0;
    return f.send(FF_PROCESSMULTI, &f.fMulti);
  }, kNoInput, true, true);
  add("code 16, output count 0", [](Fixture& f) {
    f.fMulti.fOutCount = 0;
    return f.send(FF_PROCESSMULTI, &f.fMulti);
  }, kNoInput, true, true);
  add("code 16, null input slot 0", [](Fixture& f) {
    f.fMulti.fInputs[0] = nullptr;
    return f.send(FF_PROCESSMULTI, &f.fMulti);
  }, kNoInput, true);
  add("code 16, null output slot 0", [](Fixture& f) {
    f.fMulti.fOutputs[0] = nullptr;
    return f.send(FF_PROCESSMULTI, &f.fMulti);
  }, kNoInput, true);
  add("code 16, input slot 0 without image", [](Fixture& f) {
    std::free(f.fSlots[0].fImage);
    f.fSlots[0].fImage = nullptr;
    return f.send(FF_PROCESSMULTI, &f.fMulti);
  }, kNoInput, true, true);
  add("code 16, input slot 0 of another size", [](Fixture& f) {
    f.fSlots[0].fWidth = kW - 1;  // its image is large enough for either size
    return f.send(FF_PROCESSMULTI, &f.fMulti);
  }, "Oxa_Multi: Error: Image format does not match the instance\n", true);
  return rows;
}

class BadInput : public ::testing::TestWithParam<PluginCase> {
 protected:
  void SetUp() override { ASSERT_TRUE(fPlugin.loaded()); }
  PluginHandle fPlugin{GetParam().fName};
};

TEST_P(BadInput, EveryBadCallIsRefusedAndChangesNothing) {
  const LoadedPlugin& p = fPlugin;
  const FFUInt32 n = GetParam().numParams();
  const Frame a = patternFrame(kW, kH, kBpp, 1), b = patternFrame(kW, kH, kBpp, 2),
              c = patternFrame(kW, kH, kBpp, 3);
  // The session every row is made in: "Blend" out of range, a first frame, "Blend" out of range
  // again (the frame limited it), then the bad call, then two more frames.
  auto prepare = [&](const Instance& inst) {
    Frame f = a;
    return inst.set(kBlend, bitsFloat(kOutOfRange)) == FF_SUCCESS && inst.process(f.data()) == FF_SUCCESS &&
           inst.set(kBlend, bitsFloat(kOutOfRange)) == FF_SUCCESS;
  };
  auto finish = [&](const Instance& inst) {
    Frame fb = b, fc = c, out(c.size());
    EXPECT_EQ(inst.process(fb.data()), FF_SUCCESS);
    EXPECT_EQ(inst.copy(fc.data(), out.data()), FF_SUCCESS);
    return std::vector<Frame>{fb, out};
  };
  std::vector<Frame> reference;
  {
    Instance ref(p, kW, kH, FF_DEPTH_32);
    ASSERT_TRUE(ref.ok() && prepare(ref));
    reference = finish(ref);
  }

  for (const BadCall& row : badCalls()) {
    SCOPED_TRACE(row.fName);
    std::unique_ptr<Fixture> fixture;  // outlives the instance, which may refer to its records
    {
      Instance inst(p, kW, kH, FF_DEPTH_32);
      ASSERT_TRUE(inst.ok() && prepare(inst));
      fixture = std::make_unique<Fixture>(p, inst.id(), n);
      Fixture& f = *fixture;
      const Frame input = f.fInput, output = f.fOutput;
      FFMixed r{};
      const std::string shown = captureStderr([&] { r = row.fCall(f); });
      EXPECT_EQ(wholeWord(r), word32(FF_FAIL));
      EXPECT_EQ(shown, row.fMessage);
      EXPECT_EQ(f.fInput, input);
      EXPECT_EQ(f.fOutput, output);
      // The values are untouched, except that code 16 limits them before looking at the descriptor.
      EXPECT_EQ(inst.bitsOf(kBlend), row.fLimitsParameters ? kLimited : kOutOfRange);
      for (FFUInt32 i = 1; i < n; ++i) EXPECT_EQ(inst.bitsOf(i), GetParam().fDefaults[i]) << i;
      // History and animation did not move: the frames after it are those without it.
      EXPECT_EQ(finish(inst), reference);
    }
    if (!row.fTakesImages) fixture->freeCallerImages();
  }
}

INSTANTIATE_TEST_SUITE_P(AllPlugins, BadInput, ::testing::ValuesIn(kPlugins), caseName);

}  // namespace
}  // namespace fluxgrain::test
