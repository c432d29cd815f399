// Runs the built fluxgrain program as a user does and collects what it says.
#pragma once

#include <string>
#include <vector>

namespace fluxgrain::test {

struct ToolRun {
  int fStatus = -1;  // the exit status
  std::string fOut;  // standard output, bytes as written
  std::string fErr;  // standard error
};

// `args` go to the program one by one (quoted for the shell); `stdinPath` becomes its standard
// input when not empty.
ToolRun runTool(const std::vector<std::string>& args, const std::string& stdinPath = "");

// A fresh empty folder for one test's files; each test gives a name of its own.
std::string scratchDir(const std::string& name);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

}  // namespace fluxgrain::test
