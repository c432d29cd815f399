// The instance-free answers, the failure words and the parameter codes of every plug-in, read
// through plugMain as a host reads them.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "tests/plugin/pluginHost.h"

namespace fluxgrain::test {
namespace {

constexpr FFUInt32 kW = 16, kH = 8;

// name followed by zero bytes up to 16
std::string padded16(const char* name) {
  std::string s(name);
  s.resize(16, '\0');
  return s;
}

class Shell : public ::testing::TestWithParam<PluginCase> {
 protected:
  void SetUp() override { ASSERT_TRUE(fPlugin.loaded()); }
  const LoadedPlugin& plugin() const { return fPlugin; }
  PluginHandle fPlugin{GetParam().fName};
};

TEST_P(Shell, InfoRecordIsComplete) {
  const PluginCase& c = GetParam();
  const FFMixed first = call(plugin(), FF_GETINFO);
  auto* info = static_cast<PlugInfoStruct*>(first.PointerValue);
  ASSERT_NE(info, nullptr);
  ASSERT_NE(first.UIntValue, FF_FAIL);
  // Every query rewrites all fields: scribble over the record, then ask again.
  std::memset(info, 0xA5, sizeof *info);
  const FFMixed second = call(plugin(), FF_GETINFO);
  EXPECT_EQ(second.PointerValue, first.PointerValue) << "the record must stay at one address";
  EXPECT_EQ(info->APIMajorVersion, 1u);
  EXPECT_EQ(info->APIMinorVersion, 0u);
  EXPECT_EQ(std::string(info->PluginUniqueID, 4), c.fUniqueId);
  // All 16 bytes: OxaFGOrvial1 has four zero bytes after its 12 characters, the longer names three.
  EXPECT_EQ(std::string(info->PluginName, 16), padded16(c.fName));
  EXPECT_EQ(info->PluginType, FF_EFFECT);
}

TEST_P(Shell, ExtendedInfoRecordIsComplete) {
  const PluginCase& c = GetParam();
  const FFMixed first = call(plugin(), FF_GETEXTENDEDINFO);
  auto* info = static_cast<PlugExtendedInfoStruct*>(first.PointerValue);
  ASSERT_NE(info, nullptr);
  std::memset(info, 0x5A, sizeof *info);
  EXPECT_EQ(call(plugin(), FF_GETEXTENDEDINFO).PointerValue, first.PointerValue);
  EXPECT_EQ(info->PluginMajorVersion, 3u);
  EXPECT_EQ(info->PluginMinorVersion, c.fMinorVersion);
  ASSERT_NE(info->Description, nullptr);
  EXPECT_EQ(std::string(info->Description),
            "Input turned into a waving dynamic pixelmass with feedback; the Fluxgrain series: '" +
                std::string(c.fEffectWord) + "'");
  ASSERT_NE(info->About, nullptr);
  const std::string about(info->About);
  const std::string head = std::string(c.fName) + " - Version 3.x";
  EXPECT_EQ(about.substr(0, head.size()), head);
  EXPECT_GT(about.size(), head.size()) << "the maker's notice follows the version";
  EXPECT_EQ(info->FreeFrameExtendedDataSize, 0u);
  EXPECT_EQ(info->FreeFrameExtendedDataBlock, nullptr);
}

TEST_P(Shell, CapabilityTable) {
  constexpr FFUInt32 kExpected[] = {0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1, 1,
                                    0, 0, 0, 3, 1, 2, 65535, 65535, 65535, 65535};
  for (FFUInt32 i = 0; i < 22; ++i)
    EXPECT_EQ(wholeWord(callIndex(plugin(), FF_GETPLUGINCAPS, i)), word32(kExpected[i])) << i;
  // Past the table: 0, not FF_FAIL.
  for (FFUInt32 i : {22u, 23u, 1000u, 0xFFFFFFFFu})
    EXPECT_EQ(wholeWord(callIndex(plugin(), FF_GETPLUGINCAPS, i)), word32(0)) << i;
}

TEST_P(Shell, ParameterMetadata) {
  const PluginCase& c = GetParam();
  const FFUInt32 n = c.numParams();
  EXPECT_EQ(wholeWord(call(plugin(), FF_GETNUMPARAMETERS)), word32(n));
  constexpr const char* kNames[] = {"Blend",     "Scale XY1", "Scale XY2", "Scale XY3",
                                    "Scale XY4", "Dist Mul",  "Step Val",  "Ang Mul"};
  for (FFUInt32 i = 0; i < n; ++i) {
    const FFMixed name = callIndex(plugin(), FF_GETPARAMETERNAME, i);
    ASSERT_NE(name.PointerValue, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(name.PointerValue), 16), padded16(kNames[i]));
    EXPECT_EQ(wholeWord(callIndex(plugin(), FF_GETPARAMETERDEFAULT, i)), word32(c.fDefaults[i]))
        << kNames[i];
  }
  // The type is the standard one for any index, even one past the list.
  for (FFUInt32 i : {0u, 3u, n - 1, n, 100u, 0xFFFFFFFFu})
    EXPECT_EQ(wholeWord(callIndex(plugin(), FF_GETPARAMETERTYPE, i)), word32(FF_TYPE_STANDARD)) << i;
  for (FFUInt32 i : {n, n + 1, 100u, 0xFFFFFFFFu}) {
    EXPECT_EQ(wholeWord(callIndex(plugin(), FF_GETPARAMETERNAME, i)), word32(FF_FAIL)) << i;
    EXPECT_EQ(wholeWord(callIndex(plugin(), FF_GETPARAMETERDEFAULT, i)), word32(FF_FAIL)) << i;
  }
}

TEST_P(Shell, InitialiseAndDeinitialiseSucceed) {
  // A host may initialise again after deinitialising, and query in between.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(wholeWord(call(plugin(), FF_INITIALISE)), word32(FF_SUCCESS));
    EXPECT_EQ(wholeWord(call(plugin(), FF_GETNUMPARAMETERS)), word32(GetParam().numParams()));
    EXPECT_EQ(wholeWord(call(plugin(), FF_DEINITIALISE)), word32(FF_SUCCESS));
  }
}

TEST_P(Shell, InstantiateIgnoresTheInstanceArgument) {
  const PluginCase& c = GetParam();
  Instance first(plugin(), kW, kH, FF_DEPTH_24);
  ASSERT_TRUE(first.ok());
  ASSERT_EQ(first.set(kBlend, 0.5f), FF_SUCCESS);
  const VideoInfoStruct info{kW, kH, FF_DEPTH_32, 1};
  const FFMixed r = call(plugin(), FF_INSTANTIATE, &info, first.id());
  ASSERT_NE(r.UIntValue, FF_FAIL);
  ASSERT_NE(r.PointerValue, first.id()) << "a new instance, not the one passed in";
  EXPECT_EQ(getParameterBits(plugin(), r.PointerValue, kBlend), c.fDefaults[kBlend]);
  EXPECT_EQ(first.bitsOf(kBlend), floatBits(0.5f)) << "the instance passed in is left alone";
  // The new one is a working 32-bit instance, the old one still a 24-bit one.
  Frame frame32 = uniformFrame(kW, kH, {255, 255, 255, 255});
  Frame frame24 = uniformFrame(kW, kH, {255, 255, 255});
  EXPECT_EQ(processFrame(plugin(), r.PointerValue, frame32.data()), FF_SUCCESS);
  EXPECT_EQ(first.process(frame24.data()), FF_SUCCESS);
  EXPECT_EQ(deinstantiate(plugin(), r.PointerValue), FF_SUCCESS);
}

TEST_P(Shell, EmptyFramesInstantiateAndProcess) {
  for (auto [w, h] : {std::pair{0u, kH}, std::pair{kW, 0u}, std::pair{0u, 0u}}) {
    Instance inst(plugin(), w, h, FF_DEPTH_32);
    ASSERT_TRUE(inst.ok()) << w << " x " << h;
    ASSERT_EQ(inst.set(kBlend, 2.0f), FF_SUCCESS);
    std::uint8_t in = 0x11, out = 0x22;  // no pixel: neither byte may be touched
    std::string err = captureStderr([&] {
      EXPECT_EQ(inst.process(&in), FF_SUCCESS);
      EXPECT_EQ(inst.copy(&in, &out), FF_SUCCESS);
    });
    EXPECT_EQ(err, "");
    EXPECT_EQ(in, 0x11);
    EXPECT_EQ(out, 0x22);
    EXPECT_EQ(inst.bitsOf(kBlend), floatBits(1.0f)) << "the frame ran and limited the value";
  }
}

// A value is stored bit for bit as the host set it and limited to [0, 1] by the next frame.
TEST_P(Shell, ValuesAreLimitedAtTheNextFrame) {
  const FFUInt32 n = GetParam().numParams();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  struct Case {
    std::uint32_t set, beforeFrame, afterFrame;
  };
  const Case cases[] = {
      {floatBits(1.5f), 0x3FC00000, 0x3F800000},
      {floatBits(-0.25f), 0xBE800000, 0x00000000},
      {floatBits(kInf), 0x7F800000, 0x3F800000},
      {floatBits(-kInf), 0xFF800000, 0x00000000},
      {0x7FC00000, 0x7FC00000, 0x00000000},  // NaN: would otherwise pass both limits untouched
      {0xFFC12345, 0xFFC12345, 0x00000000},  // NaN with sign and payload
      {0x80000000, 0x80000000, 0x80000000},  // -0.0 is not below 0.0: kept
      {floatBits(0.75f), floatBits(0.75f), floatBits(0.75f)},
  };
  Instance inst(plugin(), kW, kH, FF_DEPTH_32);
  ASSERT_TRUE(inst.ok());
  Frame frame = patternFrame(kW, kH, 4, 1);
  for (const Case& k : cases) {
    for (FFUInt32 i = 0; i < n; ++i) ASSERT_EQ(inst.set(i, bitsFloat(k.set)), FF_SUCCESS);
    for (FFUInt32 i = 0; i < n; ++i) EXPECT_EQ(inst.bitsOf(i), k.beforeFrame) << std::hex << k.set;
    ASSERT_EQ(inst.process(frame.data()), FF_SUCCESS);
    for (FFUInt32 i = 0; i < n; ++i) EXPECT_EQ(inst.bitsOf(i), k.afterFrame) << std::hex << k.set;
  }
}

TEST_P(Shell, DisplayTexts) {
  const PluginCase& c = GetParam();
  Instance inst(plugin(), kW, kH, FF_DEPTH_24);
  ASSERT_TRUE(inst.ok());
  using namespace std::string_literals;
  // The default "Blend", 0.12 (0.11999999731779099) or 0.28: eight characters, a terminator and
  // seven of the spaces the text is written over.
  EXPECT_EQ(getParameterDisplay(plugin(), inst.id(), kBlend),
            (c.fFamilyB ? "0.280000"s : "0.120000"s) + '\0' + "       ");
  // A long text is cut to 15 characters; a shorter one after it starts again from spaces.
  // (123456784 is a float32 exactly; 123456789 is not and would show as 123456792.)
  ASSERT_EQ(inst.set(kDistMul, 123456784.0f), FF_SUCCESS);
  EXPECT_EQ(getParameterDisplay(plugin(), inst.id(), kDistMul), "123456784.00000"s + '\0');
  ASSERT_EQ(inst.set(kDistMul, -0.25f), FF_SUCCESS);
  EXPECT_EQ(getParameterDisplay(plugin(), inst.id(), kDistMul), "-0.250000"s + '\0' + "      ");
  Frame frame = uniformFrame(kW, kH, {9, 8, 7});
  ASSERT_EQ(inst.process(frame.data()), FF_SUCCESS);
  EXPECT_EQ(getParameterDisplay(plugin(), inst.id(), kDistMul), "0.000000"s + '\0' + "       ");
  ASSERT_EQ(inst.set(kStepVal, 1.0f), FF_SUCCESS);
  EXPECT_EQ(getParameterDisplay(plugin(), inst.id(), kStepVal), "1.000000"s + '\0' + "       ");
}

INSTANTIATE_TEST_SUITE_P(AllPlugins, Shell, ::testing::ValuesIn(kPlugins), caseName);

// The edge values a host is most likely to look up, as cited for particular plug-ins.
TEST(ShellExamples, DefaultsOfGraldenAndPellum) {
  PluginHandle gralden("OxaFGGralden1"), pellum("OxaFGPellum1");
  ASSERT_TRUE(gralden.loaded() && pellum.loaded());
  EXPECT_EQ(wholeWord(callIndex(gralden, FF_GETPARAMETERDEFAULT, 0)), word32(0x3E8F5C29));
  EXPECT_EQ(wholeWord(callIndex(gralden, FF_GETPARAMETERDEFAULT, 7)), word32(0x3E4CCCCD));
  EXPECT_EQ(wholeWord(callIndex(pellum, FF_GETPARAMETERDEFAULT, 7)), word32(FF_FAIL));
}

}  // namespace
}  // namespace fluxgrain::test
