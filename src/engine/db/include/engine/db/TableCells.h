// The grid and cell texts a table entity stores beside its picture block. A table whose
// picture block is missing or empty, and that carries no picture of its own, is drawn
// from them: a block of cell backgrounds, borders and texts made for it after reading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/db/Database.h"

namespace vx::engine::db {

// An edge of a cell as the cell sets it.
struct TableEdge {
    std::optional<Color> color{};  // none: by block
    std::int16_t lineweight = kLineweightByBlock;
    bool visible = true;
};

struct TableCell {
    std::string text{};  // MTEXT codes allowed
    int spanColumns = 1, spanRows = 1;
    bool covered = false;        // lies under a merged cell
    double textHeight = 0;       // 0: the style's for the cell's row
    std::int16_t alignment = 0;  // 1 top left .. 9 bottom right; 0: the style's
    // The style's row kind the cell takes (0 data, 1 title, 2 header); -1: by its row's
    // place (the title first, then the header, unless the style leaves them out).
    std::int8_t kind = -1;
    // Background: -1 as the style's row, 0 none, 1 filled (with `background` when set,
    // else with the style's colour).
    std::int8_t filled = -1;
    std::optional<Color> background{};
    TableEdge edges[4]{};  // top, right, bottom, left
    // A block cell: the block (by its record's handle) at its scale, or fitted into the
    // cell, placed as the cell's alignment says.
    Handle block = 0;
    double blockScale = 1;
    bool fitted = false;
};

struct TableGrid {
    std::vector<double> rowHeights{}, columnWidths{};
    std::vector<TableCell> cells{};  // row by row
    Handle style = 0;
};

// What a table style gives each kind of row: text height and alignment, with the cell
// margins and whether the title and header rows are left out.
struct TableStyle {
    struct Row {
        double textHeight = 0.18;
        std::int16_t alignment = 5;
        bool filled = false;
        Color background = Color::FromIndex(7);
    };
    double marginX = 0.06, marginY = 0.06;
    bool noTitle = false, noHeader = false;
    Row data{0.18, 2, false, Color::FromIndex(7)}, title{0.25, 5, false, Color::FromIndex(7)},
        header{0.18, 5, false, Color::FromIndex(7)};
};

// Gives each table of `grids` (by handle) that still has no picture (every table, when
// `replace`) a block drawn from its grid, inserted as the picture block was. Cells stay
// within `maxCells`.
void AttachTablePictures(Database& db, const std::unordered_map<Handle, TableGrid>& grids,
                         const std::unordered_map<Handle, TableStyle>& styles, bool replace = false,
                         std::size_t maxCells = 100'000);

}  // namespace vx::engine::db
