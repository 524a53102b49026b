#include "engine/db/ProxyGraphics.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/db/ColorMethod.h"
#include "engine/geom/Curves.h"

namespace vx::engine::db {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegPerRad = 180.0 / kPi;
constexpr std::size_t kMaxTransforms = 64;
constexpr int kCurveSegments = 72;  // a full turn of a curve that no arc can show

bool Finite(Vec3 p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// World point → the OCS of `normal` (OcsToWorld is a rotation: its inverse is its transpose).
Vec3 ToOcs(Vec3 normal, Vec3 p) {
    const Transform m = OcsToWorld(normal);
    return {m.m[0][0] * p.x + m.m[1][0] * p.y + m.m[2][0] * p.z,
            m.m[0][1] * p.x + m.m[1][1] * p.y + m.m[2][1] * p.z,
            m.m[0][2] * p.x + m.m[1][2] * p.y + m.m[2][2] * p.z};
}

// The unit normal of a plane, (0, 0, 1) for a null or broken one.
Vec3 UnitNormal(Vec3 n) {
    n = Normalized(n);
    return Length(n) > 0.5 && Finite(n) ? n : Vec3{0, 0, 1};
}

// UTF-16 code units → UTF-8.
void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Little-endian values inside one command. A read past the end marks the reader bad and
// yields zeros: the caller drops the command then.
class Bytes {
public:
    explicit Bytes(std::string_view d) : d_(d) {}
    bool Ok() const { return ok_; }
    std::size_t Left() const { return ok_ ? d_.size() - pos_ : 0; }

    std::uint32_t L() {
        const unsigned char* p = Take(4);
        return p ? p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24) : 0;
    }
    std::int32_t SL() { return static_cast<std::int32_t>(L()); }
    double D() {
        const unsigned char* p = Take(8);
        if (!p) {
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i) {
            v = (v << 8) | p[i];
        }
        return std::bit_cast<double>(v);
    }
    Vec3 P() {
        const double x = D(), y = D(), z = D();
        return {x, y, z};
    }
    // A count of items of `each` bytes; fails when the data left cannot hold them.
    std::size_t Count(std::size_t each) {
        const std::uint32_t n = L();
        if (n > Left() / each) {
            ok_ = false;
            return 0;
        }
        return n;
    }
    std::vector<Vec3> Points(std::size_t n) {
        std::vector<Vec3> pts;
        pts.reserve(n);
        for (std::size_t i = 0; i < n && ok_; ++i) {
            pts.push_back(P());
        }
        return pts;
    }
    // A zero-terminated 8-bit string, padded to a multiple of four bytes.
    std::string_view Narrow() {
        if (!ok_) {
            return {};
        }
        const std::size_t end = d_.find('\0', pos_);
        if (end == std::string_view::npos) {
            ok_ = false;
            return {};
        }
        std::string_view s = d_.substr(pos_, end - pos_);
        Pad(end + 1);
        return s;
    }
    // A zero-terminated UTF-16 string, padded to a multiple of four bytes; as UTF-8.
    std::string Wide() {
        std::string out;
        std::uint32_t high = 0;
        while (ok_) {
            const unsigned char* p = Take(2);
            if (!p) {
                break;
            }
            const std::uint32_t u = p[0] | (p[1] << 8);
            if (u == 0) {
                Pad(pos_);
                break;
            }
            if (u >= 0xD800 && u < 0xDC00) {
                high = u;
                continue;
            }
            if (u >= 0xDC00 && u < 0xE000 && high) {
                AppendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00));
            } else {
                AppendUtf8(out, u);
            }
            high = 0;
        }
        return out;
    }
    std::string_view Rest() const { return ok_ ? d_.substr(pos_) : std::string_view{}; }
    void Fail() { ok_ = false; }

private:
    const unsigned char* Take(std::size_t n) {
        if (!ok_ || d_.size() - pos_ < n) {
            ok_ = false;
            return nullptr;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(d_.data() + pos_);
        pos_ += n;
        return p;
    }
    void Pad(std::size_t from) { pos_ = std::min(d_.size(), (from + 3) & ~std::size_t{3}); }

    std::string_view d_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The bit-coded values of a compressed polyline (the drawing format's entity coding).
class Bits {
public:
    explicit Bits(std::string_view d) : d_(d) {}
    bool Ok() const { return ok_; }
    std::size_t BitsLeft() const { return ok_ ? d_.size() * 8 - pos_ : 0; }

    unsigned Bit() {
        if (pos_ >= d_.size() * 8) {
            ok_ = false;
            return 0;
        }
        const auto byte = static_cast<unsigned char>(d_[pos_ / 8]);
        const unsigned b = (byte >> (7 - pos_ % 8)) & 1u;
        ++pos_;
        return b;
    }
    unsigned BB() {
        const unsigned hi = Bit();
        return (hi << 1) | Bit();
    }
    std::uint64_t Raw(int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            std::uint64_t byte = 0;
            for (int k = 0; k < 8; ++k) {
                byte = (byte << 1) | Bit();
            }
            v |= byte << (8 * i);
        }
        return v;
    }
    double RD() { return std::bit_cast<double>(Raw(8)); }
    std::int32_t BS() {
        switch (BB()) {
            case 0:
                return static_cast<std::int16_t>(Raw(2));
            case 1:
                return static_cast<std::int32_t>(Raw(1));
            case 2:
                return 0;
            default:
                return 256;
        }
    }
    std::int64_t BL() {
        switch (BB()) {
            case 0:
                return static_cast<std::int32_t>(Raw(4));
            case 1:
                return static_cast<std::int64_t>(Raw(1));
            case 2:
                return 0;
            default:
                ok_ = false;
                return 0;
        }
    }
    double BD() {
        switch (BB()) {
            case 0:
                return RD();
            case 1:
                return 1.0;
            case 2:
                return 0.0;
            default:
                ok_ = false;
                return 0;
        }
    }
    // A double coded against a default: unchanged, low four bytes, six bytes, or whole.
    double DD(double def) {
        const unsigned code = BB();
        if (code == 3) {
            return RD();
        }
        auto v = std::bit_cast<std::uint64_t>(def);
        if (code == 1) {
            v = (v & ~std::uint64_t{0xFFFFFFFF}) | Raw(4);
        } else if (code == 2) {
            const std::uint64_t hi = Raw(2);
            const std::uint64_t lo = Raw(4);
            v = (v & 0xFFFF000000000000ull) | (hi << 32) | lo;
        }
        return std::bit_cast<double>(v);
    }
    // A count of items of at least `bits` bits each that the data left can hold, and no
    // more than a million (a vertex takes far more room in memory than in the data).
    std::size_t Count(std::size_t bits) {
        const std::int64_t n = BL();
        if (n < 0 || n > 1'000'000 || static_cast<std::uint64_t>(n) > BitsLeft() / bits) {
            ok_ = false;
            return 0;
        }
        return static_cast<std::size_t>(n);
    }

private:
    std::string_view d_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The attributes that the stream sets for the commands after them.
struct Traits {
    LayerId layer = 0;
    LinetypeId linetype = kByBlock;
    Color color = Color::FromIndex(0);
    std::int16_t lineweight = kLineweightByBlock;
    double linetypeScale = 1;
    double thickness = 0;
    bool fill = false;
};

class Decoder {
public:
    Decoder(const Database& db, const ProxyGraphicsOptions& o, LayerId zero, ProxyGraphics& out)
        : db_(db), o_(o), out_(out) {
        traits_.layer = zero;
    }

    void Run(std::string_view data) {
        if (data.size() < 8) {
            Warn("the picture data is shorter than its head");
            return;
        }
        Bytes head(data.substr(0, 8));
        head.L();  // the total size: the caller's byte count is what bounds the data
        const std::uint32_t count = head.L();
        std::size_t pos = 8;
        for (std::uint32_t i = 0; i < count && pos < data.size(); ++i) {
            Bytes h(data.substr(pos, 8));
            const std::uint32_t size = h.L();
            const std::uint32_t op = h.L();
            if (!h.Ok() || size < 8 || size > data.size() - pos) {
                Warn("command " + std::to_string(i + 1) + " of the picture claims " +
                     std::to_string(size) + " bytes; the rest of the picture is left out");
                return;
            }
            Bytes b(data.substr(pos + 8, size - 8));
            Command(op, b);
            if (!b.Ok()) {
                Warn("command " + std::to_string(i + 1) + " (type " + std::to_string(op) +
                     ") of the picture is damaged; it is left out");
            }
            if (stopped_) {
                return;
            }
            pos += size;
        }
    }

private:
    void Warn(std::string what) {
        if (out_.warnings.size() < 8) {
            out_.warnings.push_back(std::move(what));
        }
    }

    void Command(std::uint32_t op, Bytes& b) {
        switch (static_cast<ProxyOp>(op)) {
            case ProxyOp::Circle: {
                const Vec3 c = b.P();
                const double r = b.D();
                const Vec3 n = UnitNormal(b.P());
                if (b.Ok()) {
                    const Vec3 u = OcsToWorld(n).ApplyVector({1, 0, 0});
                    Curve(m_.Apply(c), m_.ApplyVector(u * r), m_.ApplyVector(Cross(n, u) * r), 0,
                          2 * kPi, 0);
                }
                return;
            }
            case ProxyOp::Circle3P:
            case ProxyOp::CircularArc3P: {
                const Vec3 p1 = b.P(), p2 = b.P(), p3 = b.P();
                const bool arc = op == static_cast<std::uint32_t>(ProxyOp::CircularArc3P);
                const std::uint32_t kind = arc ? b.L() : 0;
                if (b.Ok()) {
                    ThreePoints(m_.Apply(p1), m_.Apply(p2), m_.Apply(p3), arc, kind);
                }
                return;
            }
            case ProxyOp::CircularArc: {
                const Vec3 c = b.P();
                const double r = b.D();
                const Vec3 n = UnitNormal(b.P());
                Vec3 s = b.P();
                const double sweep = b.D();
                const std::uint32_t kind = b.L();
                if (!b.Ok() || !std::isfinite(sweep)) {
                    return;
                }
                s = Normalized(s - n * Dot(s, n));
                if (Length(s) < 0.5) {
                    s = OcsToWorld(n).ApplyVector({1, 0, 0});
                }
                Curve(m_.Apply(c), m_.ApplyVector(s * r), m_.ApplyVector(Cross(n, s) * r),
                      std::min(0.0, sweep), std::max(0.0, sweep), kind);
                return;
            }
            case ProxyOp::Polyline:
            case ProxyOp::Polygon:
            case ProxyOp::PolylineWithNormal: {
                std::vector<Vec3> pts = b.Points(b.Count(24));
                if (!b.Ok()) {
                    return;
                }
                for (Vec3& p : pts) {
                    p = m_.Apply(p);
                }
                if (op == static_cast<std::uint32_t>(ProxyOp::Polygon)) {
                    Loops({pts}, {false});
                } else {
                    Path(pts, false);
                }
                return;
            }
            case ProxyOp::Mesh:
                return Mesh(b);
            case ProxyOp::Shell:
                return Shell(b);
            case ProxyOp::Text:
            case ProxyOp::UnicodeText: {
                const Vec3 at = b.P(), n = b.P(), dir = b.P();
                const double h = b.D(), wf = b.D(), oblique = b.D();
                const bool wide = op == static_cast<std::uint32_t>(ProxyOp::UnicodeText);
                std::string s = wide ? b.Wide() : Narrow(b.Narrow());
                if (b.Ok()) {
                    EmitText(at, n, dir, h, wf, oblique, std::move(s), 0, {});
                }
                return;
            }
            case ProxyOp::Text2:
            case ProxyOp::UnicodeText2: {
                const bool wide = op == static_cast<std::uint32_t>(ProxyOp::UnicodeText2);
                const Vec3 at = b.P(), n = b.P(), dir = b.P();
                std::string s = wide ? b.Wide() : Narrow(b.Narrow());
                b.L();  // the string's length
                b.L();  // raw: control codes are not interpreted
                const double h = b.D(), wf = b.D(), oblique = b.D();
                b.D();  // tracking
                const bool backwards = b.L() != 0, upsideDown = b.L() != 0;
                b.L(), b.L(), b.L();  // vertical, underlined, overlined
                std::string font = wide ? b.Wide() : Narrow(b.Narrow());
                if (b.Ok()) {
                    const auto generation =
                        static_cast<std::int16_t>((backwards ? 2 : 0) | (upsideDown ? 4 : 0));
                    EmitText(at, n, dir, h, wf, oblique, std::move(s), generation, font);
                }
                return;
            }
            case ProxyOp::XLine:
            case ProxyOp::Ray: {
                const Vec3 p1 = m_.Apply(b.P()), p2 = m_.Apply(b.P());
                XLine x{p1, Normalized(p2 - p1)};
                if (b.Ok() && Finite(p1) && Length(x.direction) > 0.5) {
                    const bool ray = op == static_cast<std::uint32_t>(ProxyOp::Ray);
                    Emit(ray ? EntityType::Ray : EntityType::XLine, x);
                }
                return;
            }
            case ProxyOp::Color: {
                const std::int32_t aci = b.SL();
                if (b.Ok() && aci >= 0 && aci <= 256) {
                    traits_.color = Color::FromIndex(aci);
                }
                return;
            }
            case ProxyOp::TrueColor: {
                // No colour, or a method this program does not know: the colour stays.
                if (const auto c = ColorFromMethod(b.L(), 0)) {
                    traits_.color = *c;
                }
                return;
            }
            case ProxyOp::Layer: {
                const std::uint32_t i = b.L();
                if (b.Ok() && i < db_.layers.size()) {
                    traits_.layer = i;
                }
                return;
            }
            case ProxyOp::Linetype: {
                const std::uint32_t i = b.L();
                if (i == 32767) {
                    traits_.linetype = kByLayer;
                } else if (i == 32766) {
                    traits_.linetype = kByBlock;
                } else if (b.Ok() && i < db_.linetypes.size()) {
                    const std::string name = FoldName(db_.linetypes[i].name);
                    traits_.linetype = name == "BYLAYER"   ? kByLayer
                                       : name == "BYBLOCK" ? kByBlock
                                                           : i;
                }
                return;
            }
            case ProxyOp::Fill:
                traits_.fill = b.L() != 0;
                return;
            case ProxyOp::Lineweight: {
                const std::int32_t w = b.SL();
                if (b.Ok() && w >= -3 && w <= 211) {
                    traits_.lineweight = static_cast<std::int16_t>(w);
                }
                return;
            }
            case ProxyOp::LinetypeScale: {
                const double s = b.D();
                if (b.Ok() && std::isfinite(s) && s > 0) {
                    traits_.linetypeScale = s;
                }
                return;
            }
            case ProxyOp::Thickness: {
                const double t = b.D();
                if (b.Ok() && std::isfinite(t)) {
                    traits_.thickness = t;
                }
                return;
            }
            case ProxyOp::PushTransform:
            case ProxyOp::PushTransform2:
                return PushTransform(b);
            case ProxyOp::PopTransform:
                if (ignoredPushes_ > 0) {
                    --ignoredPushes_;
                } else if (!stack_.empty()) {
                    m_ = stack_.back();
                    stack_.pop_back();
                }
                return;
            case ProxyOp::LwPolyline:
                return LwPolylineCommand(b);
            default:
                // Extents, markers, plot styles, clip boundaries, materials and what this
                // program does not know: nothing to draw.
                return;
        }
    }

    std::string Narrow(std::string_view s) const {
        if (o_.narrowText) {
            return o_.narrowText(s);
        }
        std::string out;
        for (char c : s) {
            AppendUtf8(out, static_cast<unsigned char>(c));
        }
        return out;
    }

    template <class G>
    void Emit(EntityType type, G geometry, Vec3 extrusion = {0, 0, 1}) {
        if (stopped_) {
            return;
        }
        if (out_.entities.size() >= o_.maxPrimitives) {
            Warn("the picture has more than " + std::to_string(o_.maxPrimitives) +
                 " parts; the rest is left out");
            stopped_ = true;
            return;
        }
        Entity e;
        e.props.layer = traits_.layer;
        e.props.linetype = traits_.linetype;
        e.props.color = traits_.color;
        e.props.lineweight = traits_.lineweight;
        e.props.linetypeScale = traits_.linetypeScale;
        e.props.extrusion = extrusion;
        e.Set(type, std::move(geometry));
        out_.entities.push_back(std::move(e));
    }

    // An open or closed path through world points.
    void Path(const std::vector<Vec3>& pts, bool closed) {
        if (pts.empty() || !std::all_of(pts.begin(), pts.end(), Finite)) {
            return;
        }
        if (pts.size() == 1) {
            Emit(EntityType::Point, Point{pts[0], traits_.thickness, 0});
        } else if (pts.size() == 2 && !closed) {
            Emit(EntityType::Line, Line{pts[0], pts[1], traits_.thickness});
        } else {
            Polyline pl;
            pl.flags =
                static_cast<std::int16_t>(Polyline::kPolyline3d | (closed ? Polyline::kClosed : 0));
            for (const Vec3& p : pts) {
                pl.vertices.push_back({p});
            }
            Emit(EntityType::Polyline, std::move(pl));
        }
    }

    // Closed loops of world points: filled as one area (holes after their outline) when
    // the fill is on, else their outlines.
    void Loops(const std::vector<std::vector<Vec3>>& loops, const std::vector<bool>& holes) {
        if (loops.empty()) {
            return;
        }
        Vec3 n{};  // Newell's normal of the first loop
        const auto& first = loops[0];
        for (std::size_t i = 0; i < first.size(); ++i) {
            const Vec3 a = first[i], c = first[(i + 1) % first.size()];
            n = n + Vec3{(a.y - c.y) * (a.z + c.z), (a.z - c.z) * (a.x + c.x),
                         (a.x - c.x) * (a.y + c.y)};
        }
        if (!traits_.fill || first.size() < 3 || !Finite(n) || Length(n) == 0) {
            for (const auto& l : loops) {
                Path(l, true);
            }
            return;
        }
        n = Normalized(n);
        Hatch h;
        h.patternName = "SOLID";
        h.solid = true;
        h.elevation = ToOcs(n, first[0]).z;
        for (std::size_t k = 0; k < loops.size(); ++k) {
            HatchPath path;
            path.flags = holes[k] ? 0 : 1;
            path.isPolyline = true;
            for (const Vec3& p : loops[k]) {
                const Vec3 o = ToOcs(n, p);
                if (!Finite(o)) {
                    return;
                }
                path.polyline.push_back({o.x, o.y, 0, 0, 0});
            }
            h.paths.push_back(std::move(path));
        }
        Emit(EntityType::Hatch, std::move(h), n);
    }

    // A curve c + u·cos(a) + v·sin(a) for a in [a0, a1] (world): a circle or an arc when
    // u and v are equally long and square to each other, else a polyline through it.
    // `kind` 1 adds the radii to the ends (a sector), 2 the chord.
    void Curve(Vec3 c, Vec3 u, Vec3 v, double a0, double a1, std::uint32_t kind) {
        const double lu = Length(u), lv = Length(v);
        if (!Finite(c) || !Finite(u) || !Finite(v) || lu == 0 || lv == 0 || !(a1 > a0) ||
            !std::isfinite(a1 - a0)) {
            return;
        }
        a1 = std::min(a1, a0 + 2 * kPi);  // more than a turn draws the turn
        const bool full = a1 - a0 >= 2 * kPi - 1e-12;
        auto at = [&](double a) { return c + u * std::cos(a) + v * std::sin(a); };
        const double tol = 1e-9 * std::max(lu, lv);
        if (std::abs(lu - lv) <= tol && std::abs(Dot(u, v)) <= tol * std::max(lu, lv)) {
            const Vec3 n = Normalized(Cross(u, v));
            const Vec3 ou = ToOcs(n, u);
            const double base = std::atan2(ou.y, ou.x);
            if (full) {
                Emit(EntityType::Circle, Circle{ToOcs(n, c), lu, traits_.thickness}, n);
            } else {
                Emit(EntityType::Arc,
                     Arc{ToOcs(n, c), lu, (base + a0) * kDegPerRad, (base + a1) * kDegPerRad,
                         traits_.thickness},
                     n);
            }
        } else {
            const int steps =
                std::max(4, static_cast<int>(std::ceil(kCurveSegments * (a1 - a0) / (2 * kPi))));
            std::vector<Vec3> pts;
            for (int i = 0; i <= steps; ++i) {
                pts.push_back(at(a0 + (a1 - a0) * i / steps));
            }
            Path(pts, false);
        }
        if (!full && kind == 1) {
            Path({at(a1), c, at(a0)}, false);
        } else if (!full && kind == 2) {
            Path({at(a0), at(a1)}, false);
        }
    }

    // The circle through three world points, or the arc from the first through the second
    // to the third. Points on one line give the path through them.
    void ThreePoints(Vec3 p1, Vec3 p2, Vec3 p3, bool arc, std::uint32_t kind) {
        const Vec3 a = p1 - p3, b = p2 - p3;
        const Vec3 axb = Cross(a, b);
        const double d = 2 * Dot(axb, axb);
        if (!(d > 1e-24 * Dot(a, a) * Dot(b, b))) {
            Path(arc ? std::vector<Vec3>{p1, p2, p3} : std::vector<Vec3>{p1, p3}, false);
            return;
        }
        const Vec3 c = p3 + Cross(b * Dot(a, a) - a * Dot(b, b), axb) * (1.0 / d);
        const Vec3 n = Normalized(Cross(p2 - p1, p3 - p2));
        const Vec3 u = p1 - c;
        const Vec3 v = Cross(n, u);
        double sweep = 2 * kPi;
        if (arc) {
            const Vec3 w = p3 - c;
            sweep = std::atan2(Dot(w, v), Dot(w, u));
            if (sweep <= 0) {
                sweep += 2 * kPi;
            }
        }
        Curve(c, u, v, 0, sweep, kind);
    }

    void Mesh(Bytes& b) {
        const std::uint32_t rows = b.L(), cols = b.L();
        if (std::uint64_t{rows} * cols > b.Left() / 24) {
            b.Fail();
        }
        if (!b.Ok() || rows == 0 || cols == 0) {
            return;
        }
        std::vector<Vec3> pts = b.Points(std::size_t{rows} * cols);
        for (Vec3& p : pts) {
            p = m_.Apply(p);
        }
        std::vector<Vec3> line;
        for (std::uint32_t r = 0; r < rows && cols > 1; ++r) {
            line.assign(pts.begin() + std::ptrdiff_t{r} * cols,
                        pts.begin() + std::ptrdiff_t{r + 1} * cols);
            Path(line, false);
        }
        for (std::uint32_t c = 0; c < cols && rows > 1; ++c) {
            line.clear();
            for (std::uint32_t r = 0; r < rows; ++r) {
                line.push_back(pts[std::size_t{r} * cols + c]);
            }
            Path(line, false);
        }
    }

    // Faces given as vertex counts and indices; a negative count is a hole of the face
    // before it. What follows (edge, face and vertex data) draws nothing more.
    void Shell(Bytes& b) {
        std::vector<Vec3> verts = b.Points(b.Count(24));
        const std::size_t n = b.Count(4);
        std::vector<std::int32_t> list(n);
        for (auto& x : list) {
            x = b.SL();
        }
        if (!b.Ok()) {
            return;
        }
        for (Vec3& p : verts) {
            p = m_.Apply(p);
        }
        std::vector<std::vector<Vec3>> loops;
        std::vector<bool> holes;
        auto flush = [&] {
            Loops(loops, holes);
            loops.clear();
            holes.clear();
        };
        for (std::size_t i = 0; i < n && !stopped_;) {
            const std::int32_t k = list[i++];
            const std::size_t count =
                static_cast<std::size_t>(std::abs(static_cast<std::int64_t>(k)));
            if (count > n - i) {
                Warn("a shell face lists more vertices than the shell has entries");
                break;
            }
            std::vector<Vec3> loop;
            for (std::size_t j = 0; j < count; ++j) {
                const auto idx = static_cast<std::uint32_t>(list[i + j]);
                if (idx < verts.size()) {
                    loop.push_back(verts[idx]);
                }
            }
            i += count;
            if (k >= 0) {
                flush();
            }
            loops.push_back(std::move(loop));
            holes.push_back(k < 0);
        }
        flush();
    }

    void EmitText(Vec3 at, Vec3 normal, Vec3 dir, double h, double wf, double oblique,
                  std::string s, std::int16_t generation, std::string_view font) {
        if (s.empty() || !(h > 0) || !std::isfinite(h) || !Finite(at) || !Finite(dir)) {
            return;
        }
        const Vec3 n = UnitNormal(normal);
        Vec3 d = Normalized(dir - n * Dot(dir, n));
        if (Length(d) < 0.5) {
            d = OcsToWorld(n).ApplyVector({1, 0, 0});
        }
        const Vec3 wd = m_.ApplyVector(d), wup = m_.ApplyVector(Cross(n, d) * h);
        const Vec3 wn = Normalized(Cross(wd, wup));
        const double height = Length(wup);
        if (!(height > 0) || Length(wn) < 0.5 || !Finite(wn)) {
            return;
        }
        Text t;
        t.position = ToOcs(wn, m_.Apply(at));
        const Vec3 od = ToOcs(wn, wd);
        t.rotation = std::atan2(od.y, od.x) * kDegPerRad;
        t.height = height;
        t.widthFactor = (std::isfinite(wf) && wf > 0 ? wf : 1) * Length(wd) * h / height;
        t.oblique = std::isfinite(oblique) ? oblique * kDegPerRad : 0;
        t.generation = generation;
        t.thickness = traits_.thickness;
        t.style = StyleOfFont(font);
        t.text = std::move(s);
        Emit(EntityType::Text, std::move(t), wn);
    }

    StyleId StyleOfFont(std::string_view font) const {
        if (font.empty()) {
            return kNone;
        }
        const std::string want = FoldName(font);
        for (std::size_t i = 0; i < db_.textStyles.size(); ++i) {
            if (FoldName(db_.textStyles[i].fontFile) == want) {
                return static_cast<StyleId>(i);
            }
        }
        return kNone;
    }

    void PushTransform(Bytes& b) {
        double v[16];
        for (double& x : v) {
            x = b.D();
        }
        if (!b.Ok()) {
            return;
        }
        if (stack_.size() >= kMaxTransforms) {
            ++ignoredPushes_;
            Warn("model transforms nested deeper than " + std::to_string(kMaxTransforms) +
                 " levels are not applied");
            return;
        }
        // Stored by rows with the translation in the last column; some writers store the
        // transpose, with the translation in the last row.
        const bool transposed =
            v[3] == 0 && v[7] == 0 && v[11] == 0 && (v[12] != 0 || v[13] != 0 || v[14] != 0);
        Transform t;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                t.m[r][c] = transposed ? v[c * 4 + r] : v[r * 4 + c];
            }
        }
        t.t = transposed ? Vec3{v[12], v[13], v[14]} : Vec3{v[3], v[7], v[11]};
        const double w = v[15];
        if (std::isfinite(w) && w != 0 && w != 1) {
            for (auto& row : t.m) {
                for (double& x : row) {
                    x /= w;
                }
            }
            t.t = t.t * (1.0 / w);
        }
        stack_.push_back(m_);
        m_ = m_ * t;
    }

    void LwPolylineCommand(Bytes& b) {
        const std::size_t n = b.Count(1);
        Bits d(b.Rest().substr(0, n));
        const int v = o_.version;
        const auto flags = static_cast<std::uint32_t>(d.BS());
        LwPolyline g;
        Vec3 normal{0, 0, 1};
        if (flags & 4) {
            g.constantWidth = d.BD();
        }
        if (flags & 8) {
            g.elevation = d.BD();
        }
        if (flags & 2) {
            g.thickness = d.BD();
        }
        if (flags & 1) {
            const double x = d.BD(), y = d.BD(), z = d.BD();
            normal = UnitNormal({x, y, z});
        }
        const std::size_t count = d.Count(4);
        const std::size_t bulges = (flags & 16) ? d.Count(2) : 0;
        const std::size_t ids = (v >= 1024 && (flags & 1024)) ? d.Count(2) : 0;
        const std::size_t widths = (flags & 32) ? d.Count(4) : 0;
        g.closed = (flags & 512) != 0;
        g.plinegen = (flags & 256) != 0;
        g.vertices.resize(count);
        for (std::size_t i = 0; i < count && d.Ok(); ++i) {
            if (v <= 1014 || i == 0) {
                g.vertices[i].x = d.RD();
                g.vertices[i].y = d.RD();
            } else {
                g.vertices[i].x = d.DD(g.vertices[i - 1].x);
                g.vertices[i].y = d.DD(g.vertices[i - 1].y);
            }
        }
        for (std::size_t i = 0; i < bulges && d.Ok(); ++i) {
            const double bulge = d.BD();
            if (i < count) {
                g.vertices[i].bulge = std::isfinite(bulge) ? bulge : 0;
            }
        }
        for (std::size_t i = 0; i < ids && d.Ok(); ++i) {
            d.BL();
        }
        for (std::size_t i = 0; i < widths && d.Ok(); ++i) {
            const double s = d.BD(), e = d.BD();
            if (i < count) {
                g.vertices[i].startWidth = s;
                g.vertices[i].endWidth = e;
            }
        }
        if (!d.Ok()) {
            Warn("a compressed polyline of the picture is damaged; it is left out");
            return;
        }
        const bool identity = m_.t == Vec3{} && m_.m[0][0] == 1 && m_.m[1][1] == 1 &&
                              m_.m[2][2] == 1 && m_.m[0][1] == 0 && m_.m[0][2] == 0 &&
                              m_.m[1][0] == 0 && m_.m[1][2] == 0 && m_.m[2][0] == 0 &&
                              m_.m[2][1] == 0;
        if (identity) {
            Emit(EntityType::LwPolyline, std::move(g), normal);
            return;
        }
        // Under a model transform: its lines and arcs one by one, through the transform.
        const Transform ocs = m_ * OcsToWorld(normal);
        const std::size_t segments = g.closed ? count : (count > 0 ? count - 1 : 0);
        for (std::size_t i = 0; i < segments && !stopped_; ++i) {
            const LwVertex& a = g.vertices[i];
            const LwVertex& c = g.vertices[(i + 1) % count];
            const Vec3 pa{a.x, a.y, g.elevation}, pc{c.x, c.y, g.elevation};
            geom::BulgeArc arc;
            if (!geom::BulgeGeometry(pa.x, pa.y, pc.x, pc.y, a.bulge, arc)) {
                if (a.bulge == 0 || Length(pc - pa) > 0) {
                    Path({ocs.Apply(pa), ocs.Apply(pc)}, false);
                }
                continue;
            }
            const double theta = arc.sweep;
            const Vec3 center{arc.cx, arc.cy, g.elevation};
            const Vec3 u{arc.radius * std::cos(arc.start), arc.radius * std::sin(arc.start), 0};
            const Vec3 w{-u.y, u.x, 0};
            const Vec3 wc = ocs.Apply(center), wu = ocs.ApplyVector(u), ww = ocs.ApplyVector(w);
            if (theta > 0) {
                Curve(wc, wu, ww, 0, theta, 0);
            } else {
                Curve(wc, wu, ww * -1.0, 0, -theta, 0);
            }
        }
    }

    const Database& db_;
    const ProxyGraphicsOptions& o_;
    ProxyGraphics& out_;
    Traits traits_;
    Transform m_;
    std::vector<Transform> stack_;
    std::size_t ignoredPushes_ = 0;
    bool stopped_ = false;
};

LayerId LayerZero(const Database& db) {
    for (std::size_t i = 0; i < db.layers.size(); ++i) {
        if (db.layers[i].name == "0") {
            return static_cast<LayerId>(i);
        }
    }
    return kNone;
}

std::string Hex(Handle h) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), kDigits[h & 15]);
        h >>= 4;
    } while (h);
    return s;
}

}  // namespace

ProxyGraphics DecodeProxyGraphics(std::string_view data, const Database& db,
                                  const ProxyGraphicsOptions& options) {
    ProxyGraphics out;
    const LayerId zero = LayerZero(db);
    Decoder(db, options, zero == kNone ? 0 : zero, out).Run(data);
    return out;
}

void AttachProxyGraphics(Database& db, std::unordered_map<Handle, std::string>& streams,
                         const ProxyGraphicsOptions& options,
                         const std::function<void(std::string, std::string)>& warn) {
    struct Target {
        BlockId block;
        std::size_t index;
        Handle handle;
    };
    std::vector<Target> targets;
    for (std::size_t b = 0; b < db.blocks.size() && !streams.empty(); ++b) {
        const EntityList& list = db.blocks[b].entities;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const Entity& e = list[i];
            const Insert* table = e.type == EntityType::Table ? e.As<Insert>() : nullptr;
            // A table draws its picture block; its own picture stands in when that block
            // is missing or empty.
            const bool bare = table && (table->block >= db.blocks.size() ||
                                        db.blocks[table->block].entities.empty());
            if ((e.type == EntityType::Unknown || bare) && streams.count(e.props.handle)) {
                targets.push_back({static_cast<BlockId>(b), i, e.props.handle});
            }
        }
    }
    if (!targets.empty() && LayerZero(db) == kNone) {
        db.AddImplicitLayer("0");
    }
    for (const Target& t : targets) {
        auto it = streams.find(t.handle);
        if (it == streams.end()) {
            continue;  // a second entity with the same handle
        }
        ProxyGraphics g = DecodeProxyGraphics(it->second, db, options);
        streams.erase(it);
        for (std::string& w : g.warnings) {
            warn("handle " + Hex(t.handle), std::move(w));
        }
        if (g.entities.empty()) {
            continue;
        }
        Block picture;
        // ':' never occurs in a stored block name, so no reference can find this block.
        picture.name = "*PROXY:" + Hex(t.handle);
        picture.flags = Block::kAnonymous;
        for (Entity& e : g.entities) {
            e.props.owner = t.handle;
            picture.entities.push_back(std::move(e));
        }
        db.blocks.push_back(std::move(picture));
        const auto id = static_cast<BlockId>(db.blocks.size() - 1);
        Entity& owner = db.blocks[t.block].entities[t.index];
        if (auto* u = owner.As<Unknown>()) {
            u->graphics = id;
        } else if (auto* table = owner.As<Insert>()) {
            // The picture is in the coordinates of the block that holds the table.
            *table = Insert{.blockName = table->blockName, .block = id};
            owner.props.extrusion = {0, 0, 1};
        }
    }
    streams.clear();
}

}  // namespace vx::engine::db
