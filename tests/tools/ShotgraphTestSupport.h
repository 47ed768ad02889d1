#pragma once
// Pictures tagged by exiftool for the Shotgraph and sort tool tests, and exiftool's own
// reading of them (its CSV output) as the values the tests expect.
#include <map>
#include <string>
#include <vector>

namespace shots {

// One picture: its file name and the exiftool assignments written into it
// ("-FocalLength=50", "-ISO=100" ...). Without assignments the file has no Exif data.
struct Shot {
  std::string name;
  std::vector<std::string> tags;
};

// Writes the pictures into folder: one small JPEG made by ImageMagick, copied for each
// shot, then every assignment written by one exiftool run. The size gives each file a
// picture of its own size (and so a file size of its own).
void WriteShots(const std::string& folder, const std::vector<Shot>& shots, bool ownSizes = false);

// exiftool's numeric values (-n) of the named tags for every picture below folder
// (recursively): file path -> tag -> value text ("" when the file lacks the tag).
std::map<std::string, std::map<std::string, std::string>> ExiftoolValues(const std::string& folder,
                                                                         const std::vector<std::string>& tags);

}  // namespace shots
