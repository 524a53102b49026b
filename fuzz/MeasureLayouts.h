// What the reader fuzz targets do with a drawing that was read: the extents of every
// layout, with a bounded budget of exact curve evaluations.
#pragma once

#include <cstdint>

#include "engine/db/Database.h"
#include "engine/db/Extents.h"

inline void MeasureLayouts(const vx::engine::db::ReadResult& result) {
    if (!result.Ok()) {
        return;
    }
    const auto& db = *result.database;
    vx::engine::db::ExtentsOptions options;
    options.exactBudget = 20000;
    for (std::uint32_t i = 0; i < db.layouts.size(); ++i) {
        (void)vx::engine::db::LayoutExtents(db, i, options);
    }
}
