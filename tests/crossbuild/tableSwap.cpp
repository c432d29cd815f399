// fluxgrain-tables: the eight effects linked in, for finding out where frames of two builds (for
// example x86-64 and i386) differ. It writes an instance's tables, and it runs the reference
// host's frames with an instance whose tables are replaced by another build's: if that gives the
// other build's frames exactly, the difference lies wholly in the tables, not in the engine.
//
//   fluxgrain-tables dump NAME WxH OUT
//       OUT gets the WaveTable cells, then the DirTable entries (eight-parameter plug-ins), as int32
//   fluxgrain-tables replay NAME TABLES WxH[:BITS] FRAMES INPUT OUTPUT [K:INDEX=VALUE ...]
//       as fluxgrain-drive, with the tables read from TABLES (a dump of the same size)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "effects/effects.h"
#include "engine/dirTable.h"
#include "shell/dispatch.h"
#include "shell/instance.h"
#include "tests/host/frameDriver.h"

using namespace fluxgrain;
using namespace fluxgrain::drive;

namespace {

const PluginDef* const kEffects[] = {&kPellum, &kCaldor, &kFennix, &kGralden,
                                     &kOrvial, &kZentrik, &kLumbra, &kSolvane};
const PluginDef* gDef = nullptr;
std::vector<std::int32_t> gTables;  // what replaces the tables of every new instance

const PluginDef* effectNamed(const std::string& name) {
  for (const PluginDef* def : kEffects) {
    if (name == def->fName) return def;
  }
  return nullptr;
}

std::size_t waveCells(const PlugObj& obj) {
  const std::size_t k = std::size_t(gDef->fProfile.fTableFactor);
  return k * k * std::size_t(obj.fWidth) * std::size_t(obj.fHeight);
}

std::size_t tableWords(const PlugObj& obj) {
  return waveCells(obj) + (obj.fDirTable != nullptr ? 2 * std::size_t(kDirEntries) : 0);
}

// Copies the tables of obj into words, or (to = true) words into the tables.
void copyTables(PlugObj& obj, std::int32_t* words, bool to) {
  const std::size_t cells = waveCells(obj);
  auto move = [to](void* table, std::int32_t* w, std::size_t bytes) {
    to ? std::memcpy(table, w, bytes) : std::memcpy(w, table, bytes);
  };
  move(obj.fWaveTable, words, cells * sizeof(std::int32_t));
  if (obj.fDirTable != nullptr) move(obj.fDirTable, words + cells, sizeof(DirEntry) * kDirEntries);
}

FFMixed swappedPlugMain(FFUInt32 code, FFMixed input, FFInstanceID instance) {
  const FFMixed result = dispatch(*gDef, code, input, instance);
  if (code == FF_INSTANTIATE && result.UIntValue != FF_FAIL) {
    auto& obj = *static_cast<PlugObj*>(result.PointerValue);
    if (gTables.size() != tableWords(obj)) {
      std::fprintf(stderr, "fluxgrain-tables: the tables hold %zu words, the instance %zu\n",
                   gTables.size(), tableWords(obj));
      std::exit(finish(1));
    }
    copyTables(obj, gTables.data(), true);
  }
  return result;
}

int dump(const char* size, const char* path) {
  unsigned w = 0, h = 0;
  if (std::sscanf(size, "%ux%u", &w, &h) != 2) return fail(std::string("bad size ") + size);
  const VideoInfoStruct info{w, h, FF_DEPTH_32, 1};
  PlugObj* obj = instantiate(*gDef, &info);
  if (obj == nullptr) return fail("the instance could not be made");
  std::vector<std::int32_t> words(tableWords(*obj));
  copyTables(*obj, words.data(), false);
  deInstantiate(obj);
  std::FILE* f = std::fopen(path, "wb");
  const bool ok = f != nullptr &&
                  std::fwrite(words.data(), sizeof(std::int32_t), words.size(), f) == words.size();
  if (f != nullptr && std::fclose(f) != 0) return fail(std::string("cannot write ") + path);
  return ok ? finish(0) : fail(std::string("cannot write ") + path);
}

bool readTables(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  std::int32_t word;
  while (std::fread(&word, sizeof word, 1, f) == 1) gTables.push_back(word);
  std::fclose(f);
  return !gTables.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3) gDef = effectNamed(argv[2]);
  if (argc == 5 && std::strcmp(argv[1], "dump") == 0 && gDef != nullptr) return dump(argv[3], argv[4]);
  if (argc >= 8 && std::strcmp(argv[1], "replay") == 0 && gDef != nullptr) {
    if (!readTables(argv[3])) return fail(std::string("cannot read the tables ") + argv[3]);
    return runFrames(swappedPlugMain, argc - 4, argv + 4);
  }
  std::fprintf(stderr,
               "usage: %s dump NAME WxH OUT\n"
               "       %s replay NAME TABLES WxH[:BITS] FRAMES INPUT OUTPUT [K:INDEX=VALUE ...]\n",
               argv[0], argv[0]);
  return finish(2);
}
