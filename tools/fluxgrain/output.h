// An output file that is written under a temporary name and only takes its real name when it is
// complete, so that a failed run never leaves a truncated file looking finished.
#pragma once

#include <string>

namespace fluxgrain::tool {

struct PendingFile {
  // Fails with a one-line reason when the temporary file cannot be created.
  explicit PendingFile(std::string path);
  ~PendingFile();  // removes the temporary file unless commit() ran
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& partPath() const { return fPartPath; }
  void commit();  // renames the temporary file to the real name

  std::string fPath;
  std::string fPartPath;
  bool fCommitted = false;
};

}  // namespace fluxgrain::tool
