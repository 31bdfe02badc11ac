// The 3DS loader: positions, mapping coordinates and triangles of the first triangle-mesh
// object of a 3DS chunk file, nothing else (no materials, smoothing, axes, keyframes, lights).
// Every read is bounds-checked against the bytes of the file image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvola {

// A vertex as read: y-up position (file x, -file z, file y) and mapping (file u, -file v).
struct LoadedVertex {
  float x = 0, y = 0, z = 0, u = 0, v = 0;
};

struct LoadedFace {
  int32_t indices[3] = {};
};

// Walks the chunk tree of a whole file image: main chunk 0x4D4D, editor 0x3D3D, named
// objects 0x4000 (objectName null: any; otherwise the first 64 characters of the name must
// match), and the first triangle mesh 0x4100 found, whose vertex list 0x4110, face list 0x4120
// and mapping list 0x4140 are taken; everything else is skipped by its length. A mapping list
// is skipped when no vertex list precedes it or it holds more entries than vertices.
// Returns false, with both arrays and counts emptied, when there is no main chunk, the main
// chunk is 12 bytes or less, no triangle mesh is found, the mesh lacks a vertex or a face
// list, a chunk is shorter than its header or runs past its parent or the image, a count's
// records do not fit in their chunk, an object name has no terminating NUL, or a face index
// is not below the vertex count.
bool parseMeshChunks(const uint8_t* buffer, size_t size, const char* objectName, std::vector<LoadedVertex>& outVertices,
                     std::vector<LoadedFace>& outFaces, int32_t& outVertexCount, int32_t& outFaceCount);

}  // namespace tarvola
