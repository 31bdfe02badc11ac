// The fuzzers' inputs as regression tests: every seed of tests/fuzz/corpus/ and every input a
// fuzzer once found (tests/fuzz/regressions/) goes through its loader here, in the ordinary
// build, with the same checks the fuzz targets make.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine3d/load_3ds.h"
#include "engine3d/mesh.h"
#include "music/module_renderer.h"
#include "support/test_support.h"
#include "surface/tga_loader.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

// Every file of tests/fuzz/corpus/<kind> and tests/fuzz/regressions/<kind>.
std::vector<fs::path> inputs(const char* kind) {
  std::vector<fs::path> found;
  for (const char* set : {"corpus", "regressions"}) {
    const fs::path dir = fs::path(TARVOLA_SOURCE_DIR) / "tests" / "fuzz" / set / kind;
    if (!fs::is_directory(dir)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
      if (entry.is_regular_file()) found.push_back(entry.path());
  }
  return found;
}

// The file in a heap block of exactly its size: a decoder reading past the end then reads outside
// the block, which the sanitizer builds report, instead of a vector's spare capacity.
struct Bytes {
  std::unique_ptr<uint8_t[]> block;
  size_t count = 0;
  const uint8_t* data() const { return block.get(); }
  size_t size() const { return count; }
};

Bytes readAll(const fs::path& path) {
  const std::string text = testing::readFile(path.string());
  Bytes bytes{std::make_unique<uint8_t[]>(text.size()), text.size()};
  std::memcpy(bytes.block.get(), text.data(), text.size());
  return bytes;
}

TEST(FuzzRegressions, PicturesLoadWithTheirContractOrFailEmpty) {
  const std::vector<fs::path> files = inputs("tga");
  ASSERT_GE(files.size(), 5u);
  for (const fs::path& path : files) {
    const Bytes bytes = readAll(path);
    Surface picture;
    if (decodeTga(picture, bytes.data(), bytes.size()) != TgaResult::kLoaded) {
      EXPECT_TRUE(picture.width == 0 && picture.pixels.empty()) << path;
      continue;
    }
    ASSERT_EQ(picture.pixels.size(), 4 * size_t(picture.width) * size_t(picture.height)) << path;
    for (uint32_t pixel : picture.pixels) ASSERT_EQ(pixel >> 24, 0xFFu) << path;
  }
}

TEST(FuzzRegressions, MeshFilesParseConsistentlyOrFailWithOneMessage) {
  const std::vector<fs::path> files = inputs("3ds");
  ASSERT_GE(files.size(), 4u);
  for (const fs::path& path : files) {
    const Bytes bytes = readAll(path);
    std::vector<LoadedVertex> vertices;
    std::vector<LoadedFace> faces;
    int32_t vertexCount = -1, faceCount = -1;
    const bool parsed = parseMeshChunks(bytes.data(), bytes.size(), nullptr, vertices, faces, vertexCount, faceCount);
    EXPECT_TRUE(!parsed || (size_t(vertexCount) == vertices.size() && size_t(faceCount) == faces.size())) << path;
    for (const LoadedFace& face : faces)
      for (int32_t index : face.indices) EXPECT_TRUE(index >= 0 && index < vertexCount) << path;
    testing::MessageRecorder recorder;
    Mesh mesh;
    mesh.loadMesh(path.string().c_str());
    EXPECT_EQ(recorder.messages().size(), parsed ? 0u : 1u) << path;
    EXPECT_EQ(mesh.vertexCount, parsed ? vertexCount : 0) << path;
    if (parsed) {
      mesh.computeVertexNormals();
      mesh.environmentCoords(0);
    }
  }
}

TEST(FuzzRegressions, ModulesRenderFiniteSamplesAndSmallSyncValues) {
  const std::vector<fs::path> files = inputs("module");
  ASSERT_GE(files.size(), 3u);
  static float out[2 * 1024];
  for (const fs::path& path : files) {
    const Bytes bytes = readAll(path);
    ModuleRenderer renderer;
    if (!renderer.load(bytes.data(), bytes.size())) continue;
    renderer.render(
        out, 1024,
        [](void*, const SyncHit& hit) {
          EXPECT_LE(hit.value, 15u);
          EXPECT_GE(hit.sample, 0);
        },
        nullptr);
    for (float sample : out) ASSERT_TRUE(std::isfinite(sample)) << path;
  }
}

}  // namespace
}  // namespace tarvola
