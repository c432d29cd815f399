#include "tools/fluxgrain/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/fluxgrain/problem.h"

namespace fluxgrain::tool {

PendingFile::PendingFile(std::string path) : fPath(std::move(path)), fPartPath(fPath + ".part") {
  FILE* file = std::fopen(fPartPath.c_str(), "wb");
  if (file == nullptr) fail("cannot write " + fPath + ": " + std::strerror(errno));
  std::fclose(file);
}

PendingFile::~PendingFile() {
  if (!fCommitted) std::remove(fPartPath.c_str());
}

void PendingFile::commit() {
  if (std::rename(fPartPath.c_str(), fPath.c_str()) != 0)
    fail("cannot write " + fPath + ": " + std::strerror(errno));
  fCommitted = true;
}

}  // namespace fluxgrain::tool
