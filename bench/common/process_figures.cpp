#include "common/process_figures.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace bench {

double cpuNs(pid_t pid) {
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return -1;
  double total = 0;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string stat = readFile(dir + "/" + e->d_name + "/schedstat");
    total += std::strtod(stat.c_str(), nullptr);
  }
  closedir(d);
  return total;
}

double vmHwmKiB(pid_t pid) {
  return static_cast<double>(procKiB(pid, "status", "VmHWM"));
}

long procKiB(pid_t pid, const std::string& file, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
  return -1;
}

std::vector<std::pair<std::string, long>> residentByMapping(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
  std::vector<std::pair<std::string, long>> out;
  std::string line;
  std::string name;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const bool header = std::isxdigit(static_cast<unsigned char>(line[0])) &&
                        line.find('-') != std::string::npos && line.find(':') > line.find(' ');
    if (header) {
      std::istringstream fields(line);
      std::string range, perms, offset, dev, inode;
      fields >> range >> perms >> offset >> dev >> inode;
      std::getline(fields >> std::ws, name);
      if (name.empty()) name = "anonymous";
      continue;
    }
    if (line.starts_with("Rss:")) {
      const long kib = std::strtol(line.c_str() + 4, nullptr, 10);
      auto it =
          std::find_if(out.begin(), out.end(), [&](const auto& e) { return e.first == name; });
      if (it == out.end()) {
        out.emplace_back(name, kib);
      } else {
        it->second += kib;
      }
    }
  }
  std::sort(out.begin(), out.end(),
            [](const auto& a, const auto& b) { return a.second > b.second; });
  return out;
}

}  // namespace bench
