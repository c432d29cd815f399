// libFuzzer target: the input is a sequence of host calls against one plug-in, chosen by the
// first byte. The calls cover every function code, index and parameter value, FF_INSTANTIATE with
// small sizes, every bit depth and orientation, frames through codes 3, 14 and 16 (code-16
// descriptors with any counts, null and non-null slots, images of matching and other sizes,
// auxiliary buffers of their own or shared with the image), FF_DEINSTANTIATE at any point and
// allocation failures at any allocation.
//
// The harness behaves as a correct host: it passes only null pointers or pointers to memory it
// owns, sized as it says; every frame it passes has the instance's size; it keeps the slot records
// it hands over alive until the instance is gone, and frees only the images it still owns.
// Everything else is the plug-in's to refuse. A crash, a sanitizer report, a leak or a broken
// broken invariant (require() below) is a finding.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "shell/heap.h"
#include "tests/robust/inProcessHost.h"

namespace fluxgrain::robust {
namespace {

// Ends the run with the broken invariant named, as a crash the fuzzer reports and keeps.
void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "broken invariant: %s\n", what);
  std::abort();
}

// The fuzzer's bytes, read front to back; zeros once they run out.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : fData(data), fSize(size) {}
  bool done() const { return fPos >= fSize; }
  std::uint8_t byte() { return fPos < fSize ? fData[fPos++] : 0; }
  std::uint32_t word() {
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w = (w << 8) | byte();
    return w;
  }
  bool flag() { return (byte() & 1) != 0; }

 private:
  const std::uint8_t* fData;
  std::size_t fSize;
  std::size_t fPos = 0;
};

constexpr std::size_t kMaxInstances = 4;
constexpr int kMaxCalls = 256;
constexpr std::uint32_t kMaxSide = 32;  // small frames keep the table builds quick

// The buffers a code-16 caller builds for one instance: a descriptor and 32 slot records, which
// must outlive the instance once it has been handed over.
struct CallerFrames {
  FrameSlot fSlots[2 * kSlotsPerHalf] = {};
  MultiFrame fMulti = {};
  bool fHandedOver = false;  // the instance has taken the descriptor, and all images in it, over

  // Slot records stay fixed for the instance's lifetime: some entries null, the others ours.
  explicit CallerFrames(std::uint32_t nullMask) {
    for (int i = 0; i < 2 * kSlotsPerHalf; ++i) {
      fSlots[i].fKind = kSlotEmpty;
      FrameSlot* slot = (nullMask >> i) & 1 ? nullptr : &fSlots[i];
      (i < kSlotsPerHalf ? fMulti.fInputs[i] : fMulti.fOutputs[i - kSlotsPerHalf]) = slot;
    }
  }
  // Until the hand-over the images are still ours to free.
  void releaseOwnImages() {
    if (fHandedOver) return;
    for (FrameSlot& s : fSlots) {
      if (s.fAux != s.fImage) std::free(s.fAux);
      std::free(s.fImage);
      s.fAux = s.fImage = nullptr;
    }
  }
};

struct Live {
  PlugObj* fObj;
  std::int32_t fWidth, fHeight, fBytesPerPixel;
  std::unique_ptr<CallerFrames> fCaller;
  // Bytes of a frame; at least one, so that an empty frame still has an address.
  std::size_t bytes() const {
    return std::max<std::size_t>(1, std::size_t(fWidth) * std::size_t(fHeight) * std::size_t(fBytesPerPixel));
  }
};

// Parameter values of every kind: in range, the edges, beyond them, infinities, NaNs, denormals.
constexpr std::uint32_t kValueBits[] = {
    0x00000000, 0x3F800000, 0x3F000000, 0x3DF5C28F, 0x3FC00000, 0xBE800000, 0x7F800000,
    0xFF800000, 0x7FC00000, 0xFFC12345, 0x7F800001, 0x80000000, 0x00000001, 0x807FFFFF,
    0x7F7FFFFF, 0xFF7FFFFF, 0x4B000000, 0xCF000000};

constexpr FFUInt32 kIndexCodes[] = {FF_GETINFO,          FF_INITIALISE,          FF_DEINITIALISE,
                                    FF_GETNUMPARAMETERS, FF_GETPARAMETERNAME,    FF_GETPARAMETERDEFAULT,
                                    FF_GETPARAMETERDISPLAY, FF_GETPARAMETER,     FF_GETPLUGINCAPS,
                                    FF_GETEXTENDEDINFO,  FF_GETPARAMETERTYPE};

// Frame sizes whose buffers or tables cannot be addressed: always refused, never allocated.
constexpr VideoInfoStruct kHugeFormats[] = {{65536, 65536, FF_DEPTH_32, 1},
                                            {0xFFFFFFFF, 1, FF_DEPTH_32, 1},
                                            {1, 0xFFFFFFFF, FF_DEPTH_24, 1},
                                            {0x80000000, 1, FF_DEPTH_24, 0},
                                            {46341, 46341, FF_DEPTH_32, 0}};

// Whether the armed allocation failure struck since the allocation count was `before`.
bool faultStruck(long before) {
  const long at = allocFaults::gFailAt;
  return at > before && at <= allocFaults::gCount;
}

bool isInstanceCode(FFUInt32 code) {
  return code == FF_PROCESSFRAME || code == FF_GETPARAMETERDISPLAY || code == FF_SETPARAMETER ||
         code == FF_GETPARAMETER || code == FF_DEINSTANTIATE || code == FF_PROCESSFRAMECOPY ||
         code == FF_PROCESSMULTI;
}

class Session {
 public:
  explicit Session(const PluginDef& def) : fDef(def) {}
  ~Session() {
    while (!fLive.empty()) destroy(0);
    allocFaults::gFailAt = 0;
  }

  void run(Reader& in) {
    for (int calls = 0; calls < kMaxCalls && !in.done(); ++calls) {
      switch (in.byte() % 10) {
        case 0: create(in); break;
        case 1: if (!fLive.empty()) destroy(in.byte() % fLive.size()); break;
        case 2: setParameter(in); break;
        case 3: query(in); break;
        case 4: rawCall(in); break;
        case 5: inPlace(in); break;
        case 6: copy(in); break;
        case 7: multi(in); break;
        case 8: allocFaults::gFailAt = allocFaults::gCount + 1 + in.byte() % 16; break;
        default: allocFaults::gFailAt = 0; break;
      }
    }
  }

 private:
  // A live instance, or null (every instance code must refuse that).
  Live* pick(Reader& in) {
    const std::uint8_t b = in.byte();
    return fLive.empty() || b % 4 == 0 ? nullptr : &fLive[b % fLive.size()];
  }
  PlugObj* objOf(const Live* l) { return l != nullptr ? l->fObj : nullptr; }

  FFMixed send(FFUInt32 code, FFMixed input, PlugObj* obj) {
    const FFMixed r = dispatch(fDef, code, input, obj);
    require(code <= FF_PROCESSMULTI || isFail(r), "an unknown code answered FF_FAIL");
    require(obj != nullptr || !isInstanceCode(code) || isFail(r), "an instance code without instance failed");
    return r;
  }
  FFUInt32 send(FFUInt32 code, const void* input, PlugObj* obj) {
    return send(code, mixedPointer(input), obj).UIntValue;
  }

  void create(Reader& in) {
    const std::uint8_t kind = in.byte();
    VideoInfoStruct info{in.byte() % (kMaxSide + 1), in.byte() % (kMaxSide / 2 + 1), 0, in.word()};
    constexpr FFUInt32 kDepths[] = {FF_DEPTH_16, FF_DEPTH_24, FF_DEPTH_32, 3, 0xFFFFFFFF};
    info.bitDepth = kind % 8 < 5 ? kDepths[kind % 8] : kind % 8 == 5 ? in.word() : FF_DEPTH_32;
    if (kind >= 240) info = kHugeFormats[kind % std::size(kHugeFormats)];
    const bool null = kind == 239;
    const long before = allocFaults::gCount;
    const FFMixed r = send(FF_INSTANTIATE, mixedPointer(null ? nullptr : &info), objOf(pick(in)));
    const bool goodFormat = !null && kind < 240 &&
                            (info.bitDepth == FF_DEPTH_24 || info.bitDepth == FF_DEPTH_32);
    if (isFail(r)) {
      require(!goodFormat || faultStruck(before), "a good format was instantiated");
      return;
    }
    require(goodFormat, "a bad format was refused");
    if (fLive.size() == kMaxInstances) destroy(0);
    fLive.push_back({static_cast<PlugObj*>(r.PointerValue), std::int32_t(info.frameWidth),
                     std::int32_t(info.frameHeight), info.bitDepth == FF_DEPTH_32 ? 4 : 3, nullptr});
  }

  void destroy(std::size_t i) {
    require(send(FF_DEINSTANTIATE, nullptr, fLive[i].fObj) == FF_SUCCESS, "FF_DEINSTANTIATE succeeded");
    if (fLive[i].fCaller) fLive[i].fCaller->releaseOwnImages();
    fLive.erase(fLive.begin() + std::ptrdiff_t(i));
  }

  FFUInt32 index(Reader& in) {
    const std::uint8_t b = in.byte();
    return b < 12 ? b : b < 16 ? 0xFFFFFFFF - (b - 12) : in.word();
  }

  void setParameter(Reader& in) {
    Live* l = pick(in);
    SetParameterStruct set{};
    set.index = index(in);
    const std::uint8_t v = in.byte();
    const std::uint32_t bits = v < 2 * std::size(kValueBits) ? kValueBits[v % std::size(kValueBits)] : in.word();
    std::memcpy(&set.value.FloatValue, &bits, sizeof bits);
    send(FF_SETPARAMETER, in.byte() == 0 ? nullptr : &set, objOf(l));
  }

  void query(Reader& in) {
    const FFUInt32 code = kIndexCodes[in.byte() % std::size(kIndexCodes)];
    Live* l = pick(in);
    send(code, mixedWord(index(in)), objOf(l));
  }

  // Any code at all; codes that take a pointer get null, the others any word.
  void rawCall(Reader& in) {
    const std::uint8_t b = in.byte();
    const FFUInt32 code = b < 32 ? b : b < 64 ? 0xFFFFFFFF - (b - 32) : in.word();
    if (code == FF_DEINSTANTIATE) return;  // destroy() does that, keeping the books
    const bool takesPointer = code == FF_PROCESSFRAME || code == FF_SETPARAMETER ||
                              code == FF_INSTANTIATE || code == FF_PROCESSFRAMECOPY ||
                              code == FF_PROCESSMULTI;
    Live* l = pick(in);
    const FFMixed r = send(code, takesPointer ? mixedPointer(nullptr) : mixedWord(in.word()), objOf(l));
    require(!takesPointer || isFail(r), "a null pointer was refused");
  }

  void inPlace(Reader& in) {
    Live* l = pick(in);
    const bool null = in.byte() == 0;
    std::vector<std::uint8_t> frame = patternBytes(l != nullptr ? l->bytes() : 64, in.byte());
    const long before = allocFaults::gCount;
    const bool valid = l != nullptr && !null;
    const FFUInt32 r = send(FF_PROCESSFRAME, null ? nullptr : frame.data(), objOf(l));
    require(r == FF_SUCCESS || !valid || faultStruck(before), "a valid in-place frame was processed");
  }

  void copy(Reader& in) {
    Live* l = pick(in);
    const std::size_t bytes = l != nullptr ? l->bytes() : 64;
    const std::uint8_t shape = in.byte();
    const FFUInt32 count = shape % 4;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<void*> inputs(count + 1, nullptr);
    for (FFUInt32 i = 0; i < count; ++i) {
      if ((shape >> (2 + i)) & 1) continue;  // a null input frame
      frames.push_back(patternBytes(bytes, in.byte()));
      inputs[i] = frames.back().data();
    }
    std::vector<std::uint8_t> output(bytes, 0x5A);
    ProcessFrameCopyStruct s{count, (shape & 0x40) ? nullptr : inputs.data(),
                             (shape & 0x80) ? nullptr : output.data()};
    const bool nullStruct = (shape & 0x3C) == 0x3C;
    const bool valid = l != nullptr && !nullStruct && count > 0 && s.InputFrames != nullptr &&
                       inputs[0] != nullptr && s.OutputFrame != nullptr;
    const long before = allocFaults::gCount;
    const FFUInt32 r = send(FF_PROCESSFRAMECOPY, nullStruct ? nullptr : &s, objOf(l));
    require(r == FF_SUCCESS || !valid || faultStruck(before), "a valid frame copy was processed");
  }

  // Puts a fresh image (and maybe an auxiliary buffer) of a size near the instance's into one
  // slot record, where that leaves no image of the instance's behind.
  void giveImage(Reader& in, const Live& l, CallerFrames& c, FrameSlot& slot) {
    if (c.fHandedOver && (slot.fImage != nullptr || slot.fAux != nullptr)) return;
    if (!c.fHandedOver) {
      if (slot.fAux != slot.fImage) std::free(slot.fAux);
      std::free(slot.fImage);
      slot.fAux = slot.fImage = nullptr;
    }
    const std::uint8_t shape = in.byte();
    const std::int32_t dw = shape % 4 == 1 ? 1 : shape % 4 == 2 ? -1 : 0;
    const std::int32_t dh = (shape >> 2) % 4 == 1 ? 1 : (shape >> 2) % 4 == 2 ? -1 : 0;
    const std::int32_t bpps[] = {l.fBytesPerPixel, 3, 4, 1};
    slot.fWidth = std::max(0, l.fWidth + dw);
    slot.fHeight = std::max(0, l.fHeight + dh);
    slot.fBytesPerPixel = bpps[(shape >> 4) % 4];
    slot.fKind = (shape & 0x40) ? kSlotImage : std::int32_t(in.word());
    const std::size_t bytes = std::size_t(slot.fWidth) * std::size_t(slot.fHeight) *
                              std::size_t(slot.fBytesPerPixel);
    slot.fImage = std::malloc(bytes > 0 ? bytes : 1);
    std::memset(slot.fImage, shape, bytes);
    const std::uint8_t aux = in.byte() % 3;
    slot.fAux = aux == 1 ? slot.fImage : aux == 2 ? std::malloc(1 + in.byte() % 16) : nullptr;
    slot.fReserved1 = std::int32_t(in.word());
  }

  static bool matches(const FrameSlot* slot, const Live& l) {
    return slot == nullptr || (slot->fWidth == l.fWidth && slot->fHeight == l.fHeight &&
                               slot->fBytesPerPixel == l.fBytesPerPixel);
  }
  static const FrameSlot* firstImage(std::uint32_t count, FrameSlot* const (&half)[kSlotsPerHalf]) {
    return count > 0 && half[0] != nullptr && half[0]->fImage != nullptr ? half[0] : nullptr;
  }

  void multi(Reader& in) {
    if (fLive.empty()) return;
    Live& l = fLive[in.byte() % fLive.size()];
    if (in.byte() % 8 == 0) {
      send(FF_PROCESSMULTI, nullptr, l.fObj);
      return;
    }
    if (!l.fCaller) {
      // Mostly whole descriptors; some with null slot records, slot 0 among them.
      const std::uint8_t b = in.byte();
      const std::uint32_t mask = b < 192 ? 0 : b < 224 ? in.word() & ~0x00010001u : in.word();
      l.fCaller = std::make_unique<CallerFrames>(mask);
    }
    CallerFrames& c = *l.fCaller;
    const auto count = [&in] {
      const std::uint8_t b = in.byte();
      return b < 200 ? std::uint32_t(b % 3) : b < 250 ? std::uint32_t(b % 21) : 0xFFFFFFFFu;
    };
    c.fMulti.fInCount = count();
    c.fMulti.fOutCount = count();
    for (int n = in.byte() % 4; n > 0; --n) {
      const std::uint8_t which = in.byte();
      FrameSlot* slot = (which & 0x80) ? c.fMulti.fOutputs[which % kSlotsPerHalf]
                                        : c.fMulti.fInputs[which % kSlotsPerHalf];
      if (slot != nullptr) giveImage(in, l, c, *slot);
    }
    const MultiFrame& m = c.fMulti;
    const bool takenOver = m.fInputs[0] != nullptr && m.fOutputs[0] != nullptr &&
                           matches(firstImage(m.fInCount, m.fInputs), l) &&
                           matches(firstImage(m.fOutCount, m.fOutputs), l);
    send(FF_PROCESSMULTI, &c.fMulti, l.fObj);
    if (takenOver) c.fHandedOver = true;
  }

  const PluginDef& fDef;
  std::vector<Live> fLive;
};

}  // namespace
}  // namespace fluxgrain::robust

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fluxgrain::robust;
  static MessageLog* quiet = new MessageLog;  // the frame path's messages would flood the log
  MessageLog::clear();
  (void)quiet;
  Reader in(data, size);
  Session session(*kEffects[in.byte() % kEffects.size()]);
  session.run(in);
  return 0;
}
