// tarvola-datagen: writes the demo's data set (pictures, box mesh, music module) into the
// directory given on the command line, normally <build>/data.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

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
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: %s DATA_DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dataDir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dataDir, error);
  if (error) {
    std::fprintf(stderr, "tarvola-datagen: cannot create %s: %s\n", argv[1], error.message().c_str());
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
  return 0;
}
