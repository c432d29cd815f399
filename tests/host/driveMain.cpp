// fluxgrain-drive: a minimal FreeFrame host, the reference in the comparisons between hosts and
// builds. It loads one built plug-in as a host does (dlopen on Linux, LoadLibraryA on Windows),
// runs a fixed input picture through FF_PROCESSFRAME in place, setting parameters between frames,
// and writes every output frame. Built for Linux x86-64, Linux i386 and Windows, it gets frames
// the comparisons expect to be byte-equal, and equal to what Pd + Gem writes.
//
//   fluxgrain-drive PLUGIN WxH[:BITS] FRAMES INPUT OUTPUT [K:INDEX=VALUE ...]
//     BITS    32 (the default) or 24 bits per pixel
//     INPUT   a raw image of W*H pixels, row 0 first, or "pattern:SEED"
//     OUTPUT  receives the FRAMES output frames one after another
//     K:INDEX=VALUE  FF_SETPARAMETER(INDEX, VALUE) after frame K-1 and before frame K, in the
//             order given; a refused parameter is reported and the run goes on, as in a host
//   fluxgrain-drive --message PLUGIN     (Windows) checks the message box of a frame-path error
//
// The last line on standard output is "done rc=N".
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/host/frameDriver.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using namespace fluxgrain::drive;

namespace {

#if defined(_WIN32)
using Library = HMODULE;
Library openLibrary(const char* path) { return LoadLibraryA(path); }
void* findSymbol(Library lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(lib, name));
}
std::string loadError() { return "error " + std::to_string(GetLastError()); }
#else
using Library = void*;
Library openLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void* findSymbol(Library lib, const char* name) { return dlsym(lib, name); }
std::string loadError() { return dlerror(); }
#endif

// plugMain of the plug-in at path, or nullptr; the library stays loaded, as hosts keep it.
PlugMainFn loadPlugMain(const char* path, Library* loaded = nullptr) {
  Library lib = openLibrary(path);
  if (lib == nullptr) {
    std::fprintf(stderr, "fluxgrain-drive: cannot load %s: %s\n", path, loadError().c_str());
    return nullptr;
  }
  if (loaded != nullptr) *loaded = lib;
  auto fn = reinterpret_cast<PlugMainFn>(findSymbol(lib, "plugMain"));
  if (fn == nullptr) std::fprintf(stderr, "fluxgrain-drive: %s has no plugMain\n", path);
  return fn;
}

#if defined(_WIN32)
// What the stand-in for MessageBoxA was called with.
struct CaughtMessage {
  int fCalls = 0;
  HWND fOwner = nullptr;
  UINT fType = 0;
  std::string fCaption, fText;
};
CaughtMessage gCaught;

int WINAPI catchMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  ++gCaught.fCalls;
  gCaught.fOwner = owner;
  gCaught.fType = type;
  gCaught.fCaption = caption != nullptr ? caption : "(null)";
  gCaught.fText = text != nullptr ? text : "(null)";
  return IDOK;
}

// Points the module's import of dll!function at replacement: the plug-in keeps calling the
// system function through its import table, so the swap catches every call without the plug-in
// exporting anything for tests.
bool hookImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<std::uint8_t*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return false;
  for (auto* imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       imp->Name != 0; ++imp) {
    if (_stricmp(reinterpret_cast<const char*>(base + imp->Name), dll) != 0) continue;
    const DWORD namesAt = imp->OriginalFirstThunk != 0 ? imp->OriginalFirstThunk : imp->FirstThunk;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + namesAt);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD old = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old))
        return false;
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return true;
    }
  }
  return false;
}

// A frame-path error (code 16 without a descriptor) must fail the call after showing its
// message with MessageBoxA: no owner window, style 0, the caption and the text of that error.
int checkMessageBox(const char* path) {
  Library lib = nullptr;
  const PlugMainFn plugMain = loadPlugMain(path, &lib);
  if (plugMain == nullptr) return finish(1);
  if (!hookImport(lib, "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(&catchMessageBox)))
    return fail("the plug-in does not import USER32.dll!MessageBoxA");
  const VideoInfoStruct info{16, 8, FF_DEPTH_32, 1};
  plugMain(FF_INITIALISE, mixedWord(0), nullptr);
  const FFMixed created = plugMain(FF_INSTANTIATE, mixedPointer(&info), nullptr);
  if (created.UIntValue == FF_FAIL) return fail("FF_INSTANTIATE failed");
  const FFUInt32 answer = plugMain(FF_PROCESSMULTI, mixedPointer(nullptr), created.PointerValue).UIntValue;
  plugMain(FF_DEINSTANTIATE, mixedWord(0), created.PointerValue);
  plugMain(FF_DEINITIALISE, mixedWord(0), nullptr);
  std::printf("message: calls %d, owner %p, style %u, \"%s\": \"%s\"\n", gCaught.fCalls,
              static_cast<void*>(gCaught.fOwner), unsigned(gCaught.fType), gCaught.fCaption.c_str(),
              gCaught.fText.c_str());
  const bool ok = answer == FF_FAIL && gCaught.fCalls == 1 && gCaught.fOwner == nullptr &&
                  gCaught.fType == 0 && gCaught.fCaption == "Oxa_Multi" &&
                  gCaught.fText == "Error: pFrameData == NULL";
  return ok ? finish(0) : fail("the message box was not shown as expected");
}
#endif

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  if (argc == 3 && std::strcmp(argv[1], "--message") == 0) return checkMessageBox(argv[2]);
#endif
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s PLUGIN WxH[:BITS] FRAMES INPUT OUTPUT [K:INDEX=VALUE ...]\n",
                 argv[0]);
    return finish(2);
  }
  const PlugMainFn plugMain = loadPlugMain(argv[1]);
  return plugMain != nullptr ? runFrames(plugMain, argc - 2, argv + 2) : finish(1);
}
