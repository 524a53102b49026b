#include "engine/db/TableCells.h"

#include "engine/db/Budget.h"
#include "engine/db/Extents.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <unordered_map>

namespace vx::engine::db {

namespace {

bool Usable(double v) {
    return std::isfinite(v) && v > 0;
}

std::int16_t AlignmentOf(const TableCell& cell, const TableStyle::Row& kind) {
    return cell.alignment >= 1 && cell.alignment <= 9
               ? cell.alignment
               : std::clamp<std::int16_t>(kind.alignment, 1, 9);
}

// The blocks of block cells by their records' handles, with their extents: found once.
struct CellBlocks {
    std::unordered_map<Handle, BlockId> ids;
    std::unordered_map<BlockId, Box3> boxes;
};

// A block cell's reference: the block's extents at its scale (or as large as the cell
// holds, less the margins), placed at the cell's alignment. A block too large to measure
// is left out.
void CellBlock(const Database& db, CellBlocks& blocks, const TableCell& cell,
               const std::array<double, 4>& box, const TableStyle& s, const TableStyle::Row& kind,
               const EntityProps& props, std::vector<Entity>& out) {
    if (blocks.ids.empty()) {
        for (std::size_t b = 0; b < db.blocks.size(); ++b) {
            blocks.ids.emplace(db.blocks[b].recordHandle, static_cast<BlockId>(b));
        }
    }
    const auto found = blocks.ids.find(cell.block);
    if (found == blocks.ids.end()) {
        return;
    }
    const BlockId id = found->second;
    auto known = blocks.boxes.find(id);
    if (known == blocks.boxes.end()) {
        Box3 measured;
        try {
            measured = BlockExtents(db, id);
        } catch (const ExpansionError&) {
            measured = Box3{};
        }
        known = blocks.boxes.emplace(id, measured).first;
    }
    const Box3 e = known->second;
    const double w = e.max.x - e.min.x, h = e.max.y - e.min.y;
    if (!(std::isfinite(w) && std::isfinite(h) && w >= 0 && h >= 0)) {
        return;
    }
    const auto [left, top, right, bottom] = box;
    const double mx = Usable(s.marginX) ? s.marginX : 0;
    const double my = Usable(s.marginY) ? s.marginY : 0;
    double scale = Usable(cell.blockScale) ? cell.blockScale : 1;
    if (cell.fitted && w + h > 0) {
        scale = std::min(w > 0 ? (right - left - 2 * mx) / w : 1e300,
                         h > 0 ? (top - bottom - 2 * my) / h : 1e300);
    }
    const int align = AlignmentOf(cell, kind) - 1;
    const double x = align % 3 == 0   ? left + mx
                     : align % 3 == 1 ? (left + right - scale * w) / 2
                                      : right - mx - scale * w;
    const double y = align / 3 == 0   ? top - my - scale * h
                     : align / 3 == 1 ? (top + bottom - scale * h) / 2
                                      : bottom + my;
    Insert ins;
    ins.block = id;
    ins.blockName = db.blocks[id].name;
    ins.scale = {scale, scale, scale};
    ins.position = Vec3{x, y, 0} + (db.blocks[id].base - e.min) * scale;
    Entity& r = out.emplace_back();
    r.props = props;
    r.Set(EntityType::Insert, std::move(ins));
}

// Backgrounds, borders and texts of the cells, in the table's own coordinates: its top-left corner
// at the origin, rows downwards.
std::vector<Entity> CellPicture(const Database& db, CellBlocks& blocks, const TableGrid& g,
                                const TableStyle& s, LayerId layer) {
    std::vector<Entity> out;
    const std::size_t rows = g.rowHeights.size(), cols = g.columnWidths.size();
    std::vector<double> xs(cols + 1, 0), ys(rows + 1, 0);
    for (std::size_t c = 0; c < cols; ++c) {
        xs[c + 1] = xs[c] + (Usable(g.columnWidths[c]) ? g.columnWidths[c] : 0);
    }
    for (std::size_t r = 0; r < rows; ++r) {
        ys[r + 1] = ys[r] - (Usable(g.rowHeights[r]) ? g.rowHeights[r] : 0);
    }
    EntityProps props;
    props.layer = layer;
    props.linetype = kByBlock;
    props.color = Color::FromIndex(0);
    props.lineweight = kLineweightByBlock;
    // Edges a cell colours or widens go on top of its neighbours' plain ones.
    std::vector<Entity> marked;
    const auto line = [&](const TableEdge& k, double x0, double y0, double x1, double y1) {
        if (!k.visible) {
            return;
        }
        const bool plain = !k.color && k.lineweight == kLineweightByBlock;
        Entity& e = (plain ? out : marked).emplace_back();
        e.props = props;
        e.props.color = k.color.value_or(props.color);
        e.props.lineweight = k.lineweight;
        e.Set(EntityType::Line, Line{{x0, y0, 0}, {x1, y1, 0}, 0});
    };
    const std::size_t titleRow = s.noTitle ? rows : 0;
    const std::size_t headerRow = s.noHeader ? rows : (s.noTitle ? 0 : 1);
    std::vector<Entity> fills;  // beneath the borders and texts
    for (std::size_t i = 0; i < g.cells.size() && i < rows * cols; ++i) {
        const TableCell& cell = g.cells[i];
        if (cell.covered) {
            continue;
        }
        const std::size_t r = i / cols, c = i % cols;
        const std::size_t r1 =
            std::min(rows, r + static_cast<std::size_t>(std::max(1, cell.spanRows)));
        const std::size_t c1 =
            std::min(cols, c + static_cast<std::size_t>(std::max(1, cell.spanColumns)));
        const double left = xs[c], right = xs[c1], top = ys[r], bottom = ys[r1];
        const TableStyle::Row& kind = cell.kind == 1   ? s.title
                                      : cell.kind == 2 ? s.header
                                      : cell.kind == 0 ? s.data
                                      : r == titleRow  ? s.title
                                      : r == headerRow ? s.header
                                                       : s.data;
        if (cell.filled == 1 || (cell.filled < 0 && kind.filled)) {
            Entity& f = fills.emplace_back();
            f.props = props;
            f.props.color = cell.background.value_or(kind.background);
            Face face;
            face.corners[0] = {left, top, 0};
            face.corners[1] = {right, top, 0};
            face.corners[2] = {left, bottom, 0};
            face.corners[3] = {right, bottom, 0};
            f.Set(EntityType::Solid, face);
        }
        line(cell.edges[0], left, top, right, top);
        line(cell.edges[1], right, top, right, bottom);
        line(cell.edges[2], right, bottom, left, bottom);
        line(cell.edges[3], left, bottom, left, top);
        if (cell.block != 0) {
            CellBlock(db, blocks, cell, {left, top, right, bottom}, s, kind, props, out);
        }
        if (cell.text.empty()) {
            continue;
        }
        const std::int16_t align = AlignmentOf(cell, kind);
        const int column = (align - 1) % 3, row = (align - 1) / 3;
        const double mx = Usable(s.marginX) ? s.marginX : 0;
        const double my = Usable(s.marginY) ? s.marginY : 0;
        MText m;
        m.height = Usable(cell.textHeight)   ? cell.textHeight
                   : Usable(kind.textHeight) ? kind.textHeight
                                             : 0.18;
        m.attachment = align;
        m.rectWidth = std::max(0.0, right - left - 2 * mx);
        m.position = {column == 0   ? left + mx
                      : column == 1 ? (left + right) / 2
                                    : right - mx,
                      row == 0   ? top - my
                      : row == 1 ? (top + bottom) / 2
                                 : bottom + my,
                      0};
        m.text = cell.text;
        Entity& e = out.emplace_back();
        e.props = props;
        e.Set(EntityType::MText, std::move(m));
    }
    out.insert(out.begin(), std::make_move_iterator(fills.begin()),
               std::make_move_iterator(fills.end()));
    out.insert(out.end(), std::make_move_iterator(marked.begin()),
               std::make_move_iterator(marked.end()));
    return out;
}

}  // namespace

void AttachTablePictures(Database& db, const std::unordered_map<Handle, TableGrid>& grids,
                         const std::unordered_map<Handle, TableStyle>& styles, bool replace,
                         std::size_t maxCells) {
    if (grids.empty()) {
        return;
    }
    LayerId zero = kNone;
    for (std::size_t i = 0; i < db.layers.size(); ++i) {
        if (db.layers[i].name == "0") {
            zero = static_cast<LayerId>(i);
        }
    }
    const std::size_t blockCount = db.blocks.size();
    CellBlocks blocks;
    for (std::size_t b = 0; b < blockCount; ++b) {
        for (std::size_t i = 0; i < db.blocks[b].entities.size(); ++i) {
            const Entity& e = db.blocks[b].entities[i];
            const Insert* table = e.type == EntityType::Table ? e.As<Insert>() : nullptr;
            if (!table || (!replace && table->block < db.blocks.size() &&
                           !db.blocks[table->block].entities.empty())) {
                continue;
            }
            const auto it = grids.find(e.props.handle);
            if (it == grids.end()) {
                continue;
            }
            const TableGrid& g = it->second;
            const std::size_t cells = g.rowHeights.size() * g.columnWidths.size();
            if (cells == 0 || cells > maxCells) {
                continue;
            }
            const auto st = styles.find(g.style);
            std::vector<Entity> picture =
                CellPicture(db, blocks, g, st == styles.end() ? TableStyle{} : st->second,
                            zero == kNone ? 0 : zero);
            if (picture.empty()) {
                continue;
            }
            if (zero == kNone) {
                zero = db.AddImplicitLayer("0");
                for (Entity& p : picture) {
                    p.props.layer = zero;
                }
            }
            Block block;
            // ':' never occurs in a stored block name, so no reference can find this block.
            block.name = "*TABLE:" + std::to_string(e.props.handle);
            block.flags = Block::kAnonymous;
            for (Entity& p : picture) {
                p.props.owner = e.props.handle;
                block.entities.push_back(std::move(p));
            }
            db.blocks.push_back(std::move(block));
            // The reference to `e` may have moved with the blocks; find the table again.
            auto* t = db.blocks[b].entities[i].As<Insert>();
            t->block = static_cast<BlockId>(db.blocks.size() - 1);
        }
    }
}

}  // namespace vx::engine::db
