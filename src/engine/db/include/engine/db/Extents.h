// An estimate of a drawing's extents, computed from its entities without drawing them: the
// renderer culls with it (with a margin) and the info command reports it. What a plot or
// ZoomExtents covers is measured by drawing instead (render::MeasureLayout), which also
// holds text as laid out, widths and lineweights.
//
// Curves are bounded exactly (arcs, circles and ellipses by their extreme points, splines
// by their evaluated curve), block references through their blocks with the full
// transform (arrays, scale, rotation, extrusion), external references through their
// loaded drawing's model space. Text is bounded approximately from its height, width
// factor and number of characters. Entities on frozen layers, invisible entities and
// attribute definitions inside inserted blocks are left out; so is the paper-space view
// itself (the viewport with id 1), and construction lines (XLINE, RAY), which are endless.
#pragma once

#include <cstdint>

#include "engine/db/Budget.h"
#include "engine/db/Database.h"

namespace vx::engine::db {

struct ExtentsOptions {
    // Block references nested deeper than this count as empty (also ends reference cycles).
    int maxDepth = 32;
    // Entity visits before nested block references fall back to their blocks' cached
    // boxes (transformed by their corners): keeps drawings with huge nestings fast.
    std::uint64_t exactBudget = 4'000'000;
    // Every entity walked counts against this budget (a page's, when the renderer asks);
    // without one the walk has a budget of its own. Passing it throws ExpansionError.
    ExpansionBudget* budget = nullptr;
};

// The world box of one block's entities (model space, a paper space or any block).
Box3 BlockExtents(const Database& db, BlockId block, const ExtentsOptions& options = {});

// Model space's extents; empty for an empty model space.
Box3 ModelExtents(const Database& db, const ExtentsOptions& options = {});

// A layout's extents: its block's entities (paper space coordinates for paper-space
// layouts). These throw ExpansionError when a drawing expands past the budget.
Box3 LayoutExtents(const Database& db, std::uint32_t layout, const ExtentsOptions& options = {});

// The box of one entity under a transform, without following block references (an
// INSERT or DIMENSION gives an empty box). For the renderer's culling and for tests.
Box3 EntityExtents(const Database& db, const Entity& entity, const Transform& toWorld = {});

}  // namespace vx::engine::db
