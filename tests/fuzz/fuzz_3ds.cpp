// libFuzzer target: the 3DS chunk walker on arbitrary bytes, then Mesh::loadMesh on the same
// bytes through an in-memory file, then the normals and environment coordinates of what loaded.
// Checks that a successful walk returns consistent counts and in-range face indices, and that
// loadMesh shows one message exactly when the walk fails.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/notify.h"
#include "engine3d/load_3ds.h"
#include "engine3d/mesh.h"

using namespace tarvola;

namespace {
int messages = 0;
void countMessage(const char*, const char*) { ++messages; }

// One memory-backed file for the whole run; its /proc path is what loadMesh opens.
int memoryFile() {
  static const int fd = memfd_create("fuzz_3ds", 0);
  return fd;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setMessageHandler(&countMessage);
  std::vector<LoadedVertex> vertices;
  std::vector<LoadedFace> faces;
  int32_t vertexCount = -1, faceCount = -1;
  const bool parsed = parseMeshChunks(data, size, nullptr, vertices, faces, vertexCount, faceCount);
  if (parsed) {
    if (vertexCount < 0 || faceCount < 0 || size_t(vertexCount) != vertices.size() || size_t(faceCount) != faces.size())
      std::abort();
    for (const LoadedFace& face : faces)
      for (int32_t index : face.indices)
        if (index < 0 || index >= vertexCount) std::abort();
  } else if (vertexCount != 0 || faceCount != 0 || !vertices.empty() || !faces.empty()) {
    std::abort();
  }
  // A named object that is not there must fail the same way.
  parseMeshChunks(data, size, "no such object", vertices, faces, vertexCount, faceCount);

  const int fd = memoryFile();
  if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) std::abort();
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  Mesh mesh;
  messages = 0;
  mesh.loadMesh(path);
  // One message exactly when the walk fails; the mesh then stays empty.
  if (messages != (parsed ? 0 : 1) || (!parsed && mesh.vertexCount != 0)) std::abort();
  if (parsed) {
    mesh.computeVertexNormals();
    mesh.environmentCoords(0);
  }
  return 0;
}
