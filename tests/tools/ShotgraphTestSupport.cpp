#include "ShotgraphTestSupport.h"

#include <filesystem>
#include <sstream>

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace shots {

void WriteShots(const std::string& folder, const std::vector<Shot>& shots, bool ownSizes) {
  fs::create_directories(folder);
  const std::string base = testsupport::TempPath("shot-base.jpg");
  auto made = testsupport::Run({"convert", "-size", "16x12", "plasma:", "-quality", "80", base});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  std::string args;
  int size = 16;
  for (const Shot& shot : shots) {
    const std::string path = folder + "/" + shot.name;
    fs::create_directories(fs::path(path).parent_path());
    if (ownSizes) {
      size += 24;
      auto own = testsupport::Run({"convert", "-size", std::to_string(size) + "x" + std::to_string(size), "plasma:",
                                   "-quality", "90", path});
      ASSERT_EQ(own.exitCode, 0) << own.err;
    } else {
      fs::copy_file(base, path, fs::copy_options::overwrite_existing);
    }
    if (shot.tags.empty()) continue;
    args += "-overwrite_original\n";
    for (const std::string& t : shot.tags) args += t + "\n";
    args += path + "\n-execute\n";
  }
  if (args.empty()) return;
  const std::string argFile = testsupport::TempFile("shot-args.txt", args);
  auto written = testsupport::Run({"exiftool", "-q", "-q", "-@", argFile});
  ASSERT_EQ(written.exitCode, 0) << written.err;
}

std::map<std::string, std::map<std::string, std::string>> ExiftoolValues(const std::string& folder,
                                                                         const std::vector<std::string>& tags) {
  std::vector<std::string> argv = {"exiftool", "-csv", "-n", "-r"};
  for (const char* ext : {"jpg", "jpeg", "jpe", "thm"}) {
    argv.push_back("-ext");
    argv.push_back(ext);
  }
  for (const std::string& t : tags) argv.push_back("-" + t);
  argv.push_back(folder);
  auto r = testsupport::Run(argv);
  std::map<std::string, std::map<std::string, std::string>> values;
  std::istringstream in(r.out);
  std::string line;
  std::vector<std::string> header;
  auto split = [](const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream s(text);
    while (std::getline(s, part, ',')) parts.push_back(part);
    if (!text.empty() && text.back() == ',') parts.push_back("");
    return parts;
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (header.empty()) {
      header = split(line);
      continue;
    }
    const std::vector<std::string> cells = split(line);
    if (cells.empty()) continue;
    auto& file = values[cells[0]];
    for (const std::string& t : tags) file[t] = "";
    for (size_t i = 1; i < header.size() && i < cells.size(); ++i) file[header[i]] = cells[i];
  }
  return values;
}

}  // namespace shots
