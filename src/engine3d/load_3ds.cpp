// The 3DS chunk walker and Mesh::loadMesh; see load_3ds.h. Integers and floats in the file
// are little-endian; a chunk header is an id (uint16) and a length (uint32) that counts the
// header itself.
#include "engine3d/load_3ds.h"

#include <cstring>
#include <string>

#include "base/file_bytes.h"
#include "base/notify.h"
#include "engine3d/mesh.h"

namespace tarvola {

namespace {

constexpr uint16_t kMainChunk = 0x4D4D;
constexpr uint16_t kEditorChunk = 0x3D3D;
constexpr uint16_t kObjectChunk = 0x4000;
constexpr uint16_t kTriangleMeshChunk = 0x4100;
constexpr uint16_t kVertexListChunk = 0x4110;
constexpr uint16_t kFaceListChunk = 0x4120;
constexpr uint16_t kMappingChunk = 0x4140;
constexpr size_t kHeaderSize = 6;
constexpr size_t kNameLimit = 64;

uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t readU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
float readF32(const uint8_t* p) {
  const uint32_t bits = readU32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

struct Chunk {
  uint16_t id = 0;
  size_t data = 0;  // first byte after the header
  size_t end = 0;   // one past the chunk's last byte
};

// The chunk starting at offset inside a parent ending at parentEnd (never past the image).
// False when the header does not fit, the length is under 6 or runs past the parent.
bool readChunk(const uint8_t* buffer, size_t offset, size_t parentEnd, Chunk& chunk) {
  if (offset > parentEnd || parentEnd - offset < kHeaderSize) return false;
  const uint32_t length = readU32(buffer + offset + 2);
  if (length < kHeaderSize || length > parentEnd - offset) return false;
  chunk.id = readU16(buffer + offset);
  chunk.data = offset + kHeaderSize;
  chunk.end = offset + length;
  return true;
}

// A list chunk's count and where its records start, when count records of recordSize fit.
bool readCount(const uint8_t* buffer, const Chunk& chunk, size_t recordSize, uint32_t& count, size_t& records) {
  if (chunk.end - chunk.data < 2) return false;
  count = readU16(buffer + chunk.data);
  records = chunk.data + 2;
  return size_t(count) * recordSize <= chunk.end - records;
}

enum class Walk { kNotFound, kLoaded, kFailed };

struct MeshOutput {
  std::vector<LoadedVertex>& vertices;
  std::vector<LoadedFace>& faces;
  int32_t& vertexCount;
  int32_t& faceCount;
};

// The children of a triangle-mesh chunk: vertex, face and mapping lists.
Walk readTriangleMesh(const uint8_t* buffer, const Chunk& mesh, MeshOutput& out) {
  bool haveVertices = false, haveFaces = false;
  for (size_t cursor = mesh.data; cursor < mesh.end;) {
    Chunk chunk;
    if (!readChunk(buffer, cursor, mesh.end, chunk)) return Walk::kFailed;
    uint32_t count = 0;
    size_t p = 0;
    if (chunk.id == kVertexListChunk) {
      if (!readCount(buffer, chunk, 12, count, p)) return Walk::kFailed;
      out.vertexCount = int32_t(count);
      out.vertices.assign(count, LoadedVertex{});
      for (LoadedVertex& v : out.vertices) {
        // z-up file axes to y-up: y is minus the file's z, z the file's y.
        v.x = readF32(buffer + p);
        v.z = readF32(buffer + p + 4);
        v.y = -readF32(buffer + p + 8);
        p += 12;
      }
      haveVertices = true;
    } else if (chunk.id == kFaceListChunk) {
      if (!readCount(buffer, chunk, 8, count, p)) return Walk::kFailed;
      out.faceCount = int32_t(count);
      out.faces.assign(count, LoadedFace{});
      for (LoadedFace& f : out.faces) {
        for (int k = 0; k < 3; ++k) f.indices[k] = readU16(buffer + p + 2 * size_t(k));
        p += 8;  // the flags word is not used
      }
      haveFaces = true;
    } else if (chunk.id == kMappingChunk) {
      if (chunk.end - chunk.data < 2) return Walk::kFailed;
      count = readU16(buffer + chunk.data);
      // A mapping list that does not fit the vertex list read so far is passed over.
      if (haveVertices && int32_t(count) <= out.vertexCount) {
        if (!readCount(buffer, chunk, 8, count, p)) return Walk::kFailed;
        for (uint32_t i = 0; i < count; ++i) {
          out.vertices[i].u = readF32(buffer + p);
          out.vertices[i].v = -readF32(buffer + p + 4);
          p += 8;
        }
      }
    }
    cursor = chunk.end;
  }
  if (!haveVertices || !haveFaces) return Walk::kFailed;
  for (const LoadedFace& f : out.faces) {
    for (int32_t index : f.indices) {
      if (index >= out.vertexCount) return Walk::kFailed;
    }
  }
  return Walk::kLoaded;
}

// The children of the editor chunk: named objects, the first accepted triangle mesh ends the walk.
Walk readEditor(const uint8_t* buffer, const Chunk& editor, const char* objectName, MeshOutput& out) {
  for (size_t cursor = editor.data; cursor < editor.end;) {
    Chunk object;
    if (!readChunk(buffer, cursor, editor.end, object)) return Walk::kFailed;
    cursor = object.end;
    if (object.id != kObjectChunk) continue;
    const void* nul = std::memchr(buffer + object.data, 0, object.end - object.data);
    if (!nul) return Walk::kFailed;
    const size_t nameLength = size_t(static_cast<const uint8_t*>(nul) - (buffer + object.data));
    char name[kNameLimit + 1] = {};
    std::memcpy(name, buffer + object.data, nameLength < kNameLimit ? nameLength : kNameLimit);
    if (objectName && std::strcmp(name, objectName) != 0) continue;
    // Objects without a triangle mesh (cameras, lights) are passed over.
    for (size_t child = object.data + nameLength + 1; child < object.end;) {
      Chunk chunk;
      if (!readChunk(buffer, child, object.end, chunk)) return Walk::kFailed;
      if (chunk.id == kTriangleMeshChunk) return readTriangleMesh(buffer, chunk, out);
      child = chunk.end;
    }
  }
  return Walk::kNotFound;
}

}  // namespace

bool parseMeshChunks(const uint8_t* buffer, size_t size, const char* objectName, std::vector<LoadedVertex>& outVertices,
                     std::vector<LoadedFace>& outFaces, int32_t& outVertexCount, int32_t& outFaceCount) {
  outVertices.clear();
  outFaces.clear();
  outVertexCount = 0;
  outFaceCount = 0;
  MeshOutput out{outVertices, outFaces, outVertexCount, outFaceCount};

  Walk result = Walk::kNotFound;
  Chunk main;
  if (buffer && readChunk(buffer, 0, size, main) && main.id == kMainChunk && main.end > 12) {
    // The walk stops 6 bytes short of the main chunk's end: only an empty chunk fits there.
    const size_t end = main.end - kHeaderSize;
    for (size_t cursor = kHeaderSize; cursor < end && result == Walk::kNotFound;) {
      Chunk chunk;
      if (!readChunk(buffer, cursor, main.end, chunk)) {
        result = Walk::kFailed;
        break;
      }
      if (chunk.id == kEditorChunk) result = readEditor(buffer, chunk, objectName, out);
      cursor = chunk.end;
    }
  }
  if (result == Walk::kLoaded) return true;
  outVertices.clear();
  outFaces.clear();
  outVertexCount = 0;
  outFaceCount = 0;
  return false;
}

void Mesh::loadMesh(const char* path) {
  // Read by blocks, never by a size taken from a seek: a directory would claim LONG_MAX bytes.
  // A file that cannot be opened or read (a directory, no permission) is reported as unopenable.
  std::vector<unsigned char> bytes;
  if (!readFileBytes(path, bytes)) {
    const std::string text = std::string("Cant open ") + path;
    showMessage(text.c_str(), "ERROR!");
    return;
  }

  std::vector<LoadedVertex> loadedVertices;
  std::vector<LoadedFace> loadedFaces;
  int32_t loadedVertexCount = 0, loadedFaceCount = 0;
  const bool parsed = parseMeshChunks(bytes.data(), bytes.size(), nullptr, loadedVertices, loadedFaces,
                                      loadedVertexCount, loadedFaceCount);
  bytes = std::vector<unsigned char>();
  if (!parsed) {
    showMessage("error reading 3dsfile!", "hore");
    return;
  }

  allocate(loadedVertexCount, loadedFaceCount);
  for (int32_t i = 0; i < loadedVertexCount; ++i) {
    const LoadedVertex& in = loadedVertices[size_t(i)];
    MeshVertex& v = vertices[size_t(i)];
    v.position = Vec3{in.x, in.y, in.z};
    v.uv1[0] = 255.0f - 255.0f * in.u;
    v.uv1[1] = 255.0f * in.v;
  }
  for (int32_t j = 0; j < loadedFaceCount; ++j) {
    for (int k = 0; k < 3; ++k) faces[size_t(j)].indices[k] = loadedFaces[size_t(j)].indices[k];
  }
}

}  // namespace tarvola
