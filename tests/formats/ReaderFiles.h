#pragma once
// Files for the reader tests: writing a picture with an independent tool, comparing a
// corpus folder's pictures with their reference pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TargaPngPixels.h"
#include "TestSupport.h"

namespace readerfiles {

// Runs a tool that writes a picture, to the path given as its last argument when that
// is empty (it is filled in), else to its standard output; the file's path is returned
// (empty when the tool failed, which fails the test).
inline std::string ToolFile(const std::string& name, std::vector<std::string> argv) {
  const std::string path = testsupport::TempPath(name);
  const bool toPath = argv.back().empty();
  if (toPath) argv.back() = path;
  const testsupport::CommandResult r = testsupport::Run(argv);
  if (r.exitCode != 0) {
    ADD_FAILURE() << argv[0] << " failed for " << name << ": " << r.err;
    return std::string();
  }
  if (!toPath) testsupport::WriteFile(path, r.out);
  return path;
}

// Compares every picture of a corpus folder that ends in suffix and has a reference
// picture name.png beside it (alpha included); returns how many were compared.
inline int CompareWithReferencePictures(const std::string& folder, const std::string& suffix) {
  const std::string dir = testsupport::CorpusDir() + "/" + folder + "/";
  int compared = 0;
  for (const std::string& name : pixeltest::FilesEndingIn(dir, suffix)) {
    SCOPED_TRACE(name);
    const std::string reference = dir + name.substr(0, name.size() - suffix.size()) + ".png";
    if (access(reference.c_str(), R_OK) != 0) continue;
    EXPECT_EQ(pixeltest::Compare(pixeltest::LoadRgba(dir + name),
                                 pixeltest::FromRaster(testsupport::ImageMagickRaster(reference)), 0, true),
              "");
    ++compared;
  }
  return compared;
}

}  // namespace readerfiles
