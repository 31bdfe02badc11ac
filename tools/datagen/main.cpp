// tarvola-datagen: writes the demo's data set (pictures, box mesh, music module) into the
// directory given on the command line, normally <build>/data; with --contact-sheet FILE it
// also writes a labelled PNG of every picture for review.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "contact_sheet.h"
#include "datagen.h"

namespace tarvola::datagen {

std::vector<Writer>& writers() {
  static std::vector<Writer> all;
  return all;
}

bool registerWriter(Writer writer) {
  writers().push_back(writer);
  return true;
}

}  // namespace tarvola::datagen

int main(int argc, char** argv) {
  using namespace tarvola::datagen;
  const char* dataArgument = nullptr;
  const char* sheetArgument = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--contact-sheet") == 0 && i + 1 < argc) {
      sheetArgument = argv[++i];
    } else if (argv[i][0] != '-' && !dataArgument) {
      dataArgument = argv[i];
    } else {
      dataArgument = nullptr;
      break;
    }
  }
  if (!dataArgument) {
    std::fprintf(stderr, "usage: %s DATA_DIR [--contact-sheet FILE.png]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dataDir = dataArgument;
  std::error_code error;
  std::filesystem::create_directories(dataDir, error);
  if (error) {
    std::fprintf(stderr, "tarvola-datagen: cannot create %s: %s\n", dataArgument, error.message().c_str());
    return 1;
  }
  // Registration order depends on the link order; run the writers in a fixed order.
  std::vector<Writer> ordered = writers();
  std::sort(ordered.begin(), ordered.end(),
            [](const Writer& a, const Writer& b) { return std::strcmp(a.name, b.name) < 0; });
  for (const Writer& writer : ordered) {
    if (!writer.write(dataDir)) {
      std::fprintf(stderr, "tarvola-datagen: writing %s failed\n", writer.name);
      return 1;
    }
  }
  if (sheetArgument && !writeContactSheet(dataDir, sheetArgument)) return 1;
  return 0;
}
