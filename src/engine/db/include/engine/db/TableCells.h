// The grid and cell texts a table entity stores beside its picture block. A table whose
// picture block is missing or empty, and that carries no picture of its own, is drawn
// from them: a block of cell borders and cell texts made for it after reading.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/db/Database.h"

namespace vx::engine::db {

struct TableCell {
    std::string text{};  // MTEXT codes allowed
    int spanColumns = 1, spanRows = 1;
    bool covered = false;        // lies under a merged cell
    double textHeight = 0;       // 0: the style's for the cell's row
    std::int16_t alignment = 0;  // 1 top left .. 9 bottom right; 0: the style's
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
    };
    double marginX = 0.06, marginY = 0.06;
    bool noTitle = false, noHeader = false;
    Row data{0.18, 2}, title{0.25, 5}, header{0.18, 5};
};

// Gives each table of `grids` (by handle) that still has no picture a block drawn from
// its grid, inserted as the picture block was. Cells stay within `maxCells`.
void AttachTablePictures(Database& db, const std::unordered_map<Handle, TableGrid>& grids,
                         const std::unordered_map<Handle, TableStyle>& styles,
                         std::size_t maxCells = 100'000);

}  // namespace vx::engine::db
