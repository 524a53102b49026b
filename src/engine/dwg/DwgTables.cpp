// Tables (ACAD_TABLE) with their cells, and table styles (TABLESTYLE). Before R2010 a
// table keeps its grid and cells in its own data; from R2010 it carries its content as a
// TABLECONTENT object does, cells, rows and columns each with a cell style of overrides
// on top of the table style's cell styles (title, header, data).
#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <optional>

#include "engine/db/ColorMethod.h"
#include "engine/db/TableCells.h"
#include "engine/dwg/DwgReaderImpl.h"

namespace vx::engine::dwg {

using namespace vx::engine::db;

namespace {

constexpr std::size_t kMaxTracks = 10'000;  // rows, columns
constexpr std::size_t kMaxCells = 100'000;

// Cell style property bits (content format and cell style overrides).
constexpr std::uint32_t kAlignment = 0x10, kTextHeight = 0x80, kBackground = 0x200;

struct CellColor {
    Color color = Color::FromIndex(7);
    bool none = false;  // "no colour": no background
};

// What a cell style (or a content format) sets; the override bits say which of it counts
// when it overrides another style.
struct CellFormat {
    bool present = false;
    std::uint32_t overrides = 0;
    std::int16_t alignment = 0;
    double textHeight = 0;
    CellColor background;
    double marginX = -1, marginY = -1;  // < 0: not set
    double blockScale = 1;
    bool fitted = false;  // a block scaled to fit its cell
    struct Edge {         // what of a cell's edge the style sets
        std::optional<Color> color;
        std::optional<std::int16_t> lineweight;
        std::optional<bool> visible;
    } edges[4];  // top, right, bottom, left
};

class TableData {
public:
    TableData(ObjectStreams& o, int version, std::function<std::string(std::string)> str)
        : o_(o), d_(o.d), v_(version), str_(std::move(str)) {}

    // A colour: the index, the value with its method in the top byte (0xC0 by layer, 0xC1
    // by block, 0xC2 rgb, 0xC3 index, 0xC8 none) and names; in every release, since tables
    // came after R2000 and keep the later form.
    CellColor Colour() {
        CellColor c;
        const std::int16_t index = d_.BS();
        c.color = Color::FromIndex(index);
        const auto value = static_cast<std::uint32_t>(d_.BL());
        const std::uint8_t names = d_.RC();
        if (const auto method = db::ColorFromMethod(value, index)) {
            c.color = *method;
        } else if ((value >> 24) == 0xC8) {
            c.none = true;
        }
        for (int bit = 1; bit <= 2; bit <<= 1) {
            if (names & bit) {
                o_.T();
            }
        }
        return c;
    }

    // A value (from R2007 with its flags, units and the text it shows): the text shown.
    std::string Value() {
        const std::int32_t flags = v_ >= 1021 ? d_.BL() : 0;
        const std::int32_t type = d_.BL();
        std::string text;
        if (v_ < 1021 || (flags & 1) == 0) {
            switch (type) {
                case 0:
                case 1:
                    d_.BL();
                    break;
                case 2:
                    d_.BD();
                    break;
                case 4:
                case 0x200: {  // string, general: bytes (UTF-16 from R2007)
                    const std::size_t n = Count(d_.BL(), d_, 8, "value bytes");
                    std::string bytes(n, '\0');
                    d_.Bytes(reinterpret_cast<std::uint8_t*>(bytes.data()), n);
                    if (v_ >= 1021) {
                        std::size_t units = n / 2;
                        while (units > 0 && bytes[2 * units - 1] == 0 &&
                               bytes[2 * units - 2] == 0) {
                            --units;
                        }
                        text =
                            Utf16ToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), units);
                    } else {
                        text = str_(bytes.substr(0, bytes.find('\0')));
                    }
                    break;
                }
                case 8:  // date
                    d_.Skip(Count(d_.BL(), d_, 8, "value bytes") * 8);
                    break;
                case 0x10:
                case 0x20:  // a point, when its size is given
                    if (d_.BL() > 0) {
                        type == 0x10 ? d_.R2D() : d_.R3D();
                    }
                    break;
                case 0x40:
                    o_.H();
                    break;
                default:
                    throw DwgError("a table value of type " + std::to_string(type));
            }
        }
        if (v_ >= 1021) {
            d_.BL();  // units
            o_.T();   // format
            std::string shown = str_(o_.T());
            if (!shown.empty()) {
                text = std::move(shown);
            }
        }
        return text;
    }

    // Named custom data items, skipped.
    void CustomData() {
        const std::size_t n = Count(d_.BL(), d_, 6, "custom data items");
        for (std::size_t i = 0; i < n; ++i) {
            o_.T();
            Value();
        }
    }

    void ContentFormat(CellFormat& f) {
        f.overrides |= static_cast<std::uint32_t>(d_.BL());
        f.fitted = (d_.BL() & 0x100) != 0;  // property values: auto scale
        d_.BL();                            // value type
        d_.BL();                            // unit type
        o_.T();                             // value format
        d_.BD();                            // rotation
        f.blockScale = d_.BD();
        f.alignment = static_cast<std::int16_t>(d_.BL());
        Colour();  // content colour
        o_.H();    // text style
        f.textHeight = d_.BD();
    }

    CellFormat CellStyle() {
        CellFormat f;
        d_.BL();  // type
        if (d_.BS() == 0) {
            return f;
        }
        f.present = true;
        f.overrides = static_cast<std::uint32_t>(d_.BL());
        d_.BL();  // merge flags
        f.background = Colour();
        d_.BL();  // content layout
        ContentFormat(f);
        if (d_.BS() & 1) {  // margins: vertical, horizontal, bottom, right, two spacings
            f.marginY = d_.BD();
            f.marginX = d_.BD();
            for (int k = 0; k < 4; ++k) {
                d_.BD();
            }
        }
        const std::size_t borders = Count(d_.BL(), d_, 2, "cell borders");
        for (std::size_t i = 0; i < borders; ++i) {
            const auto edges = static_cast<std::uint32_t>(d_.BL());  // 1 top .. 8 left
            if (edges == 0) {
                continue;
            }
            const auto overrides = static_cast<std::uint32_t>(d_.BL());
            d_.BL();  // type
            const Color color = Colour().color;
            const auto lineweight = static_cast<std::int16_t>(d_.BL());
            o_.H();  // linetype
            const bool visible = d_.BL() != 1;
            d_.BD();  // double line spacing
            for (std::size_t k = 0; k < 4; ++k) {
                if (edges & (1u << k)) {
                    CellFormat::Edge& e = f.edges[k];
                    e.color = overrides & 0x8 ? std::optional(color) : e.color;
                    e.lineweight = overrides & 0x2 ? std::optional(lineweight) : e.lineweight;
                    e.visible = overrides & 0x10 ? std::optional(visible) : e.visible;
                }
            }
        }
        return f;
    }

    // One cell of a table content: its texts (contents joined by paragraphs), with the
    // format of its first content, its cell style and the table style's cell style id.
    void Cell(TableCell& cell, CellFormat& content, CellFormat& style, std::int32_t& styleId) {
        d_.BL();  // state
        o_.T();   // tooltip
        d_.BL();
        CustomData();
        if (d_.BL() == 1) {  // linked data
            o_.H();
            d_.BL();
            d_.BL();
            d_.BL();
        }
        const std::size_t contents = Count(d_.BL(), d_, 6, "cell contents");
        for (std::size_t i = 0; i < contents; ++i) {
            const std::int32_t type = d_.BL();
            std::string text;
            if (type == 1) {
                text = Value();
            } else if (type == 2) {
                o_.H();  // field
            } else if (type == 4 && cell.block == 0) {
                cell.block = o_.H();
            } else if (type == 4) {
                o_.H();
            }
            if (!text.empty()) {
                cell.text += (cell.text.empty() ? "" : "\\P") + text;
            }
            const std::size_t attributes = Count(d_.BL(), d_, 2, "cell attributes");
            for (std::size_t k = 0; k < attributes; ++k) {
                o_.H();
                o_.T();
                d_.BL();
            }
            if (d_.BS() != 0) {
                CellFormat f;
                f.present = true;
                ContentFormat(f);
                if (i == 0) {
                    content = f;
                    cell.blockScale = f.blockScale;
                    cell.fitted = f.fitted;
                }
            }
        }
        style = CellStyle();
        styleId = d_.BL();
        if (d_.BL() != 0) {
            d_.BL();
            d_.BD();
            d_.BD();
            const std::int32_t geometry = d_.BL();
            o_.H();
            if (geometry != 0) {
                d_.B3D();
                d_.B3D();
                for (int k = 0; k < 4; ++k) {
                    d_.BD();
                }
                d_.BL();
            }
        }
    }

    // The content of an R2010 table: columns, rows of cells, merged ranges, the style.
    void Content(TableGrid& g) {
        o_.T();  // name
        o_.T();  // description
        const std::size_t cols = Count(d_.BL(), d_, 12, "table columns");
        if (cols > kMaxTracks) {
            throw DwgError(std::to_string(cols) + " table columns");
        }
        std::vector<CellFormat> colStyles(cols);
        std::vector<std::int32_t> colIds(cols);
        for (std::size_t c = 0; c < cols; ++c) {
            o_.T();
            d_.BL();
            CustomData();
            colStyles[c] = CellStyle();
            colIds[c] = d_.BL();
            g.columnWidths.push_back(d_.BD());
        }
        const std::size_t rows = Count(d_.BL(), d_, 14, "table rows");
        if (rows > kMaxTracks || rows * cols > kMaxCells) {
            throw DwgError(std::to_string(rows) + " table rows of " + std::to_string(cols) +
                           " columns");
        }
        g.cells.resize(rows * cols);
        for (std::size_t r = 0; r < rows; ++r) {
            const std::size_t n = Count(d_.BL(), d_, 16, "table cells");
            struct Read {
                CellFormat content, style;
                std::int32_t id = 0;
            };
            std::vector<Read> read(std::min(n, cols));
            for (std::size_t c = 0; c < n; ++c) {
                TableCell scratch;
                Read spare;
                Read& x = c < cols ? read[c] : spare;
                Cell(c < cols ? g.cells[r * cols + c] : scratch, x.content, x.style, x.id);
            }
            d_.BL();
            CustomData();
            const CellFormat rowStyle = CellStyle();
            const std::int32_t rowId = d_.BL();
            g.rowHeights.push_back(d_.BD());
            for (std::size_t c = 0; c < read.size(); ++c) {
                Resolve(g.cells[r * cols + c],
                        {&read[c].content, &read[c].style, &rowStyle, &colStyles[c]},
                        read[c].id != 0 ? read[c].id
                        : rowId != 0    ? rowId
                                        : colIds[c]);
            }
        }
        o_.SkipHandles(Count(d_.BL(), o_.h, 8, "field references"), "field references");
        CellStyle();  // the table's overrides
        const std::size_t merged = Count(d_.BL(), d_, 8, "merged cell ranges");
        for (std::size_t i = 0; i < merged; ++i) {
            const std::int32_t top = d_.BL(), left = d_.BL(), bottom = d_.BL(), right = d_.BL();
            if (top < 0 || left < 0 || bottom < top || right < left ||
                static_cast<std::size_t>(bottom) >= rows ||
                static_cast<std::size_t>(right) >= cols) {
                continue;
            }
            for (auto r = static_cast<std::size_t>(top); r <= static_cast<std::size_t>(bottom);
                 ++r) {
                for (auto c = static_cast<std::size_t>(left); c <= static_cast<std::size_t>(right);
                     ++c) {
                    g.cells[r * cols + c].covered = true;
                }
            }
            TableCell& first =
                g.cells[static_cast<std::size_t>(top) * cols + static_cast<std::size_t>(left)];
            first.covered = false;
            first.spanRows = bottom - top + 1;
            first.spanColumns = right - left + 1;
        }
        g.style = o_.H();
    }

    // A cell's height, alignment and background from the first style that overrides them;
    // what none overrides comes from the table style's cell style `id`.
    static void Resolve(TableCell& cell, std::initializer_list<const CellFormat*> formats,
                        std::int32_t id) {
        cell.kind = id == 1 ? 1 : id == 2 ? 2 : 0;
        bool height = false, alignment = false, background = false;
        for (const CellFormat* f : formats) {
            if (!f->present) {
                continue;
            }
            if (!height && (f->overrides & kTextHeight) && f->textHeight > 0) {
                cell.textHeight = f->textHeight;
                height = true;
            }
            if (!alignment && (f->overrides & kAlignment) && f->alignment >= 1 &&
                f->alignment <= 9) {
                cell.alignment = f->alignment;
                alignment = true;
            }
            if (!background && (f->overrides & kBackground)) {
                cell.filled = f->background.none ? 0 : 1;
                cell.background = f->background.color;
                background = true;
            }
        }
        for (std::size_t k = 0; k < 4; ++k) {  // each of an edge's settings from the first
            std::optional<Color> color;
            std::optional<std::int16_t> lineweight;
            std::optional<bool> visible;
            for (const CellFormat* f : formats) {
                const CellFormat::Edge& e = f->edges[k];
                color = color ? color : e.color;
                lineweight = lineweight ? lineweight : e.lineweight;
                visible = visible ? visible : e.visible;
            }
            cell.edges[k] = {color, lineweight.value_or(kLineweightByBlock),
                             visible.value_or(true)};
        }
    }

    // The cells of a table before R2010, row by row.
    void Cells(TableGrid& g) {
        for (TableCell& cell : g.cells) {
            const std::int16_t type = d_.BS();
            d_.RC();  // edges
            cell.covered = d_.B();
            const bool fitted = d_.B();
            cell.spanColumns = std::clamp<std::int32_t>(d_.BL(), 1, kMaxTracks);
            cell.spanRows = std::clamp<std::int32_t>(d_.BL(), 1, kMaxTracks);
            d_.BD();  // rotation
            const Handle value = o_.H();
            if (type == 1 && value == 0 && v_ < 1021) {
                cell.text = str_(o_.T());
            } else if (type == 2) {
                cell.block = value;
                cell.fitted = fitted;
                cell.blockScale = d_.BD();
                if (d_.B()) {  // attributes
                    const std::size_t n = Count(d_.BS(), d_, 2, "cell attributes");
                    for (std::size_t k = 0; k < n; ++k) {
                        o_.H();
                        d_.BS();
                        o_.T();
                    }
                }
            }
            if (d_.B()) {  // overrides
                const auto flags = static_cast<std::uint32_t>(d_.BL());
                d_.RC();  // virtual edges
                if (flags & 0x01) {
                    cell.alignment = d_.BS();
                }
                if (flags & 0x02) {
                    cell.filled = d_.B() ? 0 : 1;
                }
                if (flags & 0x04) {
                    const CellColor c = Colour();
                    cell.background = c.color;
                    if (c.none) {
                        cell.filled = 0;
                    }
                }
                if (flags & 0x08) {
                    Colour();  // content
                }
                if (flags & 0x10) {
                    o_.H();  // text style
                }
                if (flags & 0x20) {
                    cell.textHeight = d_.BD();
                }
                for (std::uint32_t edge = 0; edge < 4; ++edge) {  // top, right, bottom, left
                    if (flags & (0x40u << edge)) {
                        cell.edges[edge].color = Colour().color;
                    }
                    if (flags & (0x400u << edge)) {
                        cell.edges[edge].lineweight = d_.BS();
                    }
                    if (flags & (0x4000u << edge)) {
                        d_.BS();  // visibility: the files' DXF twins show these edges
                    }
                }
            }
            if (v_ >= 1021) {
                d_.BL();
                const std::string text = Value();
                if (type == 1) {
                    cell.text = text;
                }
            }
        }
    }

private:
    ObjectStreams& o_;
    BitReader& d_;
    int v_;
    std::function<std::string(std::string)> str_;
};

}  // namespace

void DwgReaderImpl::ReadTable(ObjectStreams& o, PendingEntity& p) {
    BitReader& d = o.d;
    Entity& e = p.entity;
    // A table starts as a block reference to its picture block, the anonymous "*T" block.
    Insert g;
    g.position = d.B3D();
    g.scale = InsertScale(d, version_);
    g.rotation = d.BD() * kDegrees;
    e.props.extrusion = d.B3D();
    const bool attributes = d.B();
    const std::size_t owned =
        attributes && version_ >= 1018 ? Count(d.BL(), o.h, 8, "attributes") : 0;
    p.ref = o.H();
    e.Set(EntityType::Table, std::move(g));
    if (attributes) {  // the attributes (before R2004 the first and last), the sequence end
        o.SkipHandles(version_ >= 1018 ? owned + 1 : 3, "attributes");
    }
    TableData t(o, version_, [this](std::string raw) { return Str(std::move(raw)); });
    TableGrid grid;
    Vec3 direction{1, 0, 0};
    try {
        if (version_ >= 1024) {
            d.RC();
            o.H();
            d.BL();
            version_ >= 1027 ? static_cast<void>(d.BL()) : static_cast<void>(d.B());
            t.Content(grid);
            d.BS();
            direction = d.B3D();
        } else {
            d.BS();  // flags
            direction = d.B3D();
            const std::size_t cols = Count(d.BL(), d, 2, "table columns");
            const std::size_t rows = Count(d.BL(), d, 2, "table rows");
            if (cols > kMaxTracks || rows > kMaxTracks || rows * cols > kMaxCells) {
                throw DwgError(std::to_string(rows) + " table rows of " + std::to_string(cols) +
                               " columns");
            }
            for (std::size_t c = 0; c < cols; ++c) {
                grid.columnWidths.push_back(d.BD());
            }
            for (std::size_t r = 0; r < rows; ++r) {
                grid.rowHeights.push_back(d.BD());
            }
            grid.style = o.H();
            grid.cells.resize(rows * cols);
            t.Cells(grid);
        }
    } catch (const DwgError& err) {
        Warn("object " + HandleText(o.self) + " (ACAD_TABLE)",
             std::string("its cells cannot be read (") + err.what() +
                 "); only its picture is drawn");
        return;
    }
    if (!grid.rowHeights.empty() && !grid.columnWidths.empty()) {
        tableGrids_[o.self] = std::move(grid);
    }
    auto* ins = e.As<Insert>();
    if (std::hypot(direction.x, direction.y) > 0 && ins->rotation == 0) {
        ins->rotation = std::atan2(direction.y, direction.x) * kDegrees;
    }
}

void DwgReaderImpl::ReadTableStyle(ObjectStreams& o) {
    BitReader& d = o.d;
    TableData t(o, version_, [this](std::string raw) { return Str(std::move(raw)); });
    TableStyle s;
    if (version_ <= 1021) {
        o.T();   // description
        d.BS();  // flow direction
        d.BS();  // flags
        s.marginX = d.BD();
        s.marginY = d.BD();
        s.noTitle = d.B();
        s.noHeader = d.B();
        for (TableStyle::Row* row : {&s.data, &s.title, &s.header}) {
            o.H();  // text style
            row->textHeight = d.BD();
            row->alignment = d.BS();
            t.Colour();  // text
            row->background = t.Colour().color;
            row->filled = d.B();
            for (int k = 0; k < 6; ++k) {  // borders: lineweight, visible, colour
                d.BS();
                d.B();
                t.Colour();
            }
            if (version_ >= 1021) {
                d.BL();
                d.BL();
                o.T();
            }
        }
    } else {
        d.RC();
        o.T();  // description
        d.BL();
        d.BL();
        o.H();
        const CellFormat table = t.CellStyle();
        d.BL();  // id, class, name
        d.BL();
        o.T();
        if (table.marginX >= 0) {
            s.marginX = table.marginX;
            s.marginY = table.marginY;
        }
        const std::size_t n = Count(d.BL(), d, 8, "cell styles");
        for (std::size_t i = 0; i < n; ++i) {
            d.BL();
            const CellFormat f = t.CellStyle();
            const std::int32_t id = d.BL();
            d.BL();
            o.T();
            TableStyle::Row* row = id == 1   ? &s.title
                                   : id == 2 ? &s.header
                                   : id == 3 ? &s.data
                                             : nullptr;
            if (!row || !f.present) {
                continue;
            }
            if (f.textHeight > 0) {
                row->textHeight = f.textHeight;
            }
            if (f.alignment >= 1 && f.alignment <= 9) {
                row->alignment = f.alignment;
            }
            row->filled = !f.background.none;
            row->background = f.background.color;
        }
    }
    tableStyles_[o.self] = s;
}

}  // namespace vx::engine::dwg
