#include "tests/tool/toolRunner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fluxgrain::test {

namespace {

std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::string scratchDir(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / ("fluxgrain-tool-test-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

ToolRun runTool(const std::vector<std::string>& args, const std::string& stdinPath) {
  // CTest runs tests in parallel processes: each run gets a file of its own for standard error.
  std::string errPath = (std::filesystem::temp_directory_path() / "fluxgrain-stderr-XXXXXX").string();
  const int errFd = mkstemp(errPath.data());
  if (errFd < 0) return {};
  close(errFd);
  std::string command = shellQuoted(FLUXGRAIN_TOOL);
  for (const std::string& arg : args) command.append(" ").append(shellQuoted(arg));
  command.append(" 2>").append(shellQuoted(errPath));
  if (!stdinPath.empty()) command.append(" <").append(shellQuoted(stdinPath));

  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.fOut.append(buffer, n);
  const int status = pclose(pipe);
  run.fStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.fErr = readFile(errPath);
  std::filesystem::remove(errPath);
  return run;
}

}  // namespace fluxgrain::test
