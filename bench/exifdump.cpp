// Prints every tag that Kivo2's metadata reader finds in the files named on the
// command line, one "Name=value text" line per tag, so that the reader can be
// compared with other tools. With several files each block starts with "# file".
#include <cstdio>
#include <string>

#include "metadata/ExifData.h"
#include "platform/rtl/SysUtils.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: exifdump FILE...\n");
    return 2;
  }
  int status = 0;
  TimgData data(255);
  for (int i = 1; i < argc; ++i) {
    if (argc > 2) std::printf("# %s\n", argv[i]);
    if (!data.ReadFileMetadata(argv[i])) {
      std::printf("# status: %s\n", data.ErrStr.empty() ? "no such file" : data.ErrStr.c_str());
      status = 1;
      continue;
    }
    if (!data.ImageInfo) continue;
    for (const TTagEntry& tag : data.ImageInfo->Tags) {
      // Shown through the one conversion of raw metadata bytes to displayable text.
      std::string line = tag.Name + "=" + TextFromBytes(tag.Data);
      std::printf("%s\n", line.c_str());
    }
  }
  return status;
}
