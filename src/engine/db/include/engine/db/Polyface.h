// Polyface meshes: one POLYLINE whose VERTEX records are first the mesh's points, then its
// faces, each naming up to four of those points.
#pragma once

#include "engine/db/Entities.h"

namespace vx::engine::db {

// A point of the mesh (flag 64 of the VERTEX).
inline bool IsPolyfacePoint(const PolyVertex& v) {
    return (v.flags & 64) != 0;
}

// A face record (flag 128 without 64): its faceIndices name the points, 1-based, negative
// where the edge from that point is hidden.
inline bool IsPolyfaceFace(const PolyVertex& v) {
    return (v.flags & 128) != 0 && (v.flags & 64) == 0;
}

}  // namespace vx::engine::db
