// The marching-cubes lookup tables and the cell geometry they are numbered against:
// corner offsets, the two end corners of each edge, the cut-edge masks and the triangle lists.
#pragma once

#include <cstdint>

namespace tarvola {

// Corner n of a cell sits at (i, j, k) + kCubeCornerOffset[n], in (x, y, z) order.
inline constexpr int32_t kCubeCornerOffset[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                                    {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};

// Edge e runs from corner kCubeEdgeCorners[e][0] to kCubeEdgeCorners[e][1]; the vertex on it
// is interpolated in that direction (edges 2, 3, 6 and 7 run towards smaller x or y).
inline constexpr int32_t kCubeEdgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                                    {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// Bit e set when edge e joins a corner below the iso level to one that is not.
extern const uint16_t kCubeEdgeTable[256];

// Up to five triangles per cube index as edge triples, the list closed by -1.
extern const int8_t kCubeTriangleTable[256][16];

}  // namespace tarvola
