#include "engine/db/Extents.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/db/Polyface.h"
#include "engine/geom/Curves.h"

namespace vx::engine::db {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

// Points of p(t) = c + u cos t + v sin t for t from t0 to t1 (t1 > t0 assumed after
// normalising): the end points and every coordinate extreme between them.
void AddEllipticalArc(Box3& box, Vec3 c, Vec3 u, Vec3 v, double t0, double t1) {
    if (!std::isfinite(t0) || !std::isfinite(t1)) {
        return;
    }
    while (t1 < t0) {
        t1 += 2 * kPi;
    }
    if (t1 - t0 > 2 * kPi) {
        t1 = t0 + 2 * kPi;
    }
    auto at = [&](double t) { return c + u * std::cos(t) + v * std::sin(t); };
    box.Add(at(t0));
    box.Add(at(t1));
    const double ucs[3] = {u.x, u.y, u.z};
    const double vcs[3] = {v.x, v.y, v.z};
    for (int k = 0; k < 3; ++k) {
        if (ucs[k] == 0 && vcs[k] == 0) {
            continue;
        }
        double base = std::atan2(vcs[k], ucs[k]);  // extreme at base and base + pi
        for (int j = 0; j < 2; ++j) {
            double t = base + j * kPi;
            // first t' >= t0 with t' = t mod 2pi
            double n = std::ceil((t0 - t) / (2 * kPi));
            t += n * 2 * kPi;
            if (t <= t1) {
                box.Add(at(t));
            }
        }
    }
}

// The arc between two OCS vertices with a bulge, mapped through `m`.
void AddBulge(Box3& box, const Transform& m, double x1, double y1, double x2, double y2,
              double bulge, double z) {
    box.Add(m.Apply({x1, y1, z}));
    box.Add(m.Apply({x2, y2, z}));
    geom::BulgeArc arc;
    if (!geom::BulgeGeometry(x1, y1, x2, y2, bulge, arc)) {
        return;
    }
    const Vec3 c = m.Apply({arc.cx, arc.cy, z});
    const Vec3 u = m.ApplyVector({arc.radius, 0, 0});
    const Vec3 v = m.ApplyVector({0, arc.radius, 0});
    const double end = arc.start + arc.sweep;
    if (arc.sweep > 0) {
        AddEllipticalArc(box, c, u, v, arc.start, end);
    } else {
        AddEllipticalArc(box, c, u, v, end, arc.start);
    }
}

void AddSpline(Box3& box, const Transform& m, std::int32_t degree, const std::vector<double>& knots,
               const std::vector<Vec3>& ctrl, const std::vector<double>& weights,
               const std::vector<Vec3>& fit) {
    const geom::SplineData spline{degree, &knots, &ctrl, &weights};
    if (!geom::ValidSpline(spline)) {
        // The control polygon bounds the curve; fit points lie on it.
        for (Vec3 p : ctrl) {
            box.Add(m.Apply(p));
        }
        for (Vec3 p : fit) {
            box.Add(m.Apply(p));
        }
        return;
    }
    const auto p = static_cast<std::size_t>(degree);
    const std::size_t n = ctrl.size();
    constexpr int kSamples = 8;
    for (std::size_t s = p; s < n; ++s) {
        double a = knots[s], b = knots[s + 1];
        if (b <= a) {
            continue;
        }
        for (int i = 0; i <= kSamples; ++i) {
            double u = a + (b - a) * i / kSamples;
            if (i == kSamples && s + 1 == n) {
                u = b - (b - a) * 1e-12;
            }
            box.Add(m.Apply(geom::EvaluateSpline(spline, u)));
        }
    }
    box.Add(m.Apply(geom::EvaluateSpline(spline, knots[p])));
}

std::size_t VisibleLength(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80) {  // count code points, not bytes
            ++n;
        }
    }
    return n;
}

// Characters are taken a text height wide: txt, the default font, sets them at that pitch.
constexpr double kCharacterWidth = 1.0;

void AddTextBox(Box3& box, const Transform& m, const Text& t, Vec3 extrusion) {
    double h = t.height > 0 ? t.height : 1.0;
    double wf = t.widthFactor > 0 ? t.widthFactor : 1.0;
    double w = static_cast<double>(VisibleLength(t.text)) * h * wf * kCharacterWidth;
    double x0 = 0, y0 = -0.25 * h, x1 = w, y1 = h;
    Vec3 anchor = t.position;
    double rot = t.rotation * kDeg;
    bool aligned = t.hasAlignPoint && (t.halign != 0 || t.valign != 0);
    if (aligned) {
        anchor = t.alignPoint;
        if (t.halign == 3 || t.halign == 5) {  // aligned / fit: from first to second point
            Vec3 d = t.alignPoint - t.position;
            anchor = t.position;
            w = std::hypot(d.x, d.y);
            rot = std::atan2(d.y, d.x);
            x1 = w;
        } else if (t.halign == 1 || t.halign == 4) {
            x0 = -w / 2, x1 = w / 2;
        } else if (t.halign == 2) {
            x0 = -w, x1 = 0;
        }
        if (t.halign == 4 || t.valign == 2) {
            y0 = -h / 2, y1 = h / 2;
        } else if (t.valign == 3) {
            y0 = -h, y1 = 0;
        } else if (t.valign == 1) {
            y0 = 0, y1 = 1.25 * h;
        }
    }
    Transform local;
    local.m[0][0] = std::cos(rot), local.m[0][1] = -std::sin(rot);
    local.m[1][0] = std::sin(rot), local.m[1][1] = std::cos(rot);
    local.t = anchor;
    Transform full = m * OcsToWorld(extrusion) * local;
    for (double x : {x0, x1}) {
        for (double y : {y0, y1}) {
            box.Add(full.Apply({x, y, 0}));
        }
    }
}

void AddMTextBox(Box3& box, const Transform& m, const MText& t, Vec3 extrusion) {
    double h = t.height > 0 ? t.height : 1.0;
    // Lines and the longest line, skipping format codes roughly.
    std::size_t lines = 1, longest = 0, current = 0;
    const std::string& s = t.text;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            char k = s[i + 1];
            if (k == 'P' || k == 'X') {
                ++lines;
                longest = std::max(longest, current);
                current = 0;
                ++i;
                continue;
            }
            if (std::string_view("ACcFfHhQqTtWwp").find(k) != std::string_view::npos) {
                auto semi = s.find(';', i);
                i = semi == std::string::npos ? s.size() : semi;
                continue;
            }
            ++i;
            ++current;
            continue;
        }
        if (c == '{' || c == '}' || (static_cast<unsigned char>(c) & 0xC0) == 0x80) {
            continue;
        }
        ++current;
    }
    longest = std::max(longest, current);
    double w = t.rectWidth > 0 ? t.rectWidth : static_cast<double>(longest) * h * kCharacterWidth;
    double th = static_cast<double>(lines) * h * 1.667 * (t.lineSpacing > 0 ? t.lineSpacing : 1);
    int col = (t.attachment - 1) % 3;  // 0 left, 1 centre, 2 right
    int row = (t.attachment - 1) / 3;  // 0 top, 1 middle, 2 bottom
    double x0 = -w * col / 2.0, y1 = th * row / 2.0;
    double x1 = x0 + w, y0 = y1 - th;
    Vec3 n = Normalized(extrusion);
    Vec3 xAxis;
    if (t.hasXAxis && Length(t.xAxis) > 0) {
        xAxis = Normalized(t.xAxis);
    } else {
        Transform ocs = OcsToWorld(n);
        xAxis = ocs.ApplyVector({std::cos(t.rotation * kDeg), std::sin(t.rotation * kDeg), 0});
    }
    Vec3 yAxis = Normalized(Cross(n, xAxis));
    Transform full = m * Transform::FromAxes(xAxis, yAxis, n, t.position);
    for (double x : {x0, x1}) {
        for (double y : {y0, y1}) {
            box.Add(full.Apply({x, y, 0}));
        }
    }
}

void AddHatch(Box3& box, const Transform& m, const Hatch& h) {
    for (const auto& path : h.paths) {
        if (path.isPolyline) {
            const auto& v = path.polyline;
            for (std::size_t i = 0; i < v.size(); ++i) {
                bool last = i + 1 == v.size();
                if (last && !path.closed) {
                    box.Add(m.Apply({v[i].x, v[i].y, h.elevation}));
                    break;
                }
                const auto& b = v[last ? 0 : i + 1];
                AddBulge(box, m, v[i].x, v[i].y, b.x, b.y, v[i].bulge, h.elevation);
            }
            continue;
        }
        for (const auto& e : path.edges) {
            Vec3 p0{e.p0.x, e.p0.y, h.elevation};
            switch (e.type) {
                case HatchEdge::Type::Line:
                    box.Add(m.Apply(p0));
                    box.Add(m.Apply({e.p1.x, e.p1.y, h.elevation}));
                    break;
                case HatchEdge::Type::Arc: {
                    Vec3 u = m.ApplyVector({e.radius, 0, 0});
                    Vec3 v = m.ApplyVector({0, e.ccw ? e.radius : -e.radius, 0});
                    AddEllipticalArc(box, m.Apply(p0), u, v, e.startAngle * kDeg,
                                     e.endAngle * kDeg);
                    break;
                }
                case HatchEdge::Type::Ellipse: {
                    Vec3 major{e.p1.x, e.p1.y, 0};
                    Vec3 minor{-e.p1.y * e.ratio, e.p1.x * e.ratio, 0};
                    if (!e.ccw) {
                        minor = minor * -1.0;
                    }
                    AddEllipticalArc(box, m.Apply(p0), m.ApplyVector(major), m.ApplyVector(minor),
                                     e.startAngle * kDeg, e.endAngle * kDeg);
                    break;
                }
                case HatchEdge::Type::Spline: {
                    std::vector<Vec3> ctrl = e.controlPoints;
                    for (auto& c : ctrl) {
                        c.z = h.elevation;
                    }
                    AddSpline(box, m, e.degree, e.knots, ctrl, e.weights, e.fitPoints);
                    break;
                }
            }
        }
    }
}

Box3 SimpleEntityBox(const Entity& e, const Transform& m) {
    Box3 box;
    const Vec3 n = e.props.extrusion;
    auto ocs = [&]() { return IsDefaultExtrusion(n) ? m : m * OcsToWorld(n); };
    switch (e.type) {
        case EntityType::Line: {
            const auto& g = *e.As<Line>();
            box.Add(m.Apply(g.start));
            box.Add(m.Apply(g.end));
            break;
        }
        case EntityType::Point:
            box.Add(m.Apply(e.As<Point>()->position));
            break;
        case EntityType::Circle: {
            const auto& g = *e.As<Circle>();
            Transform t = ocs();
            AddEllipticalArc(box, t.Apply(g.center), t.ApplyVector({g.radius, 0, 0}),
                             t.ApplyVector({0, g.radius, 0}), 0, 2 * kPi);
            break;
        }
        case EntityType::Arc: {
            const auto& g = *e.As<Arc>();
            Transform t = ocs();
            AddEllipticalArc(box, t.Apply(g.center), t.ApplyVector({g.radius, 0, 0}),
                             t.ApplyVector({0, g.radius, 0}), g.startAngle * kDeg,
                             g.endAngle * kDeg);
            break;
        }
        case EntityType::Ellipse: {
            const auto& g = *e.As<Ellipse>();
            Vec3 minor =
                Normalized(Cross(Normalized(n), g.majorAxis)) * (Length(g.majorAxis) * g.ratio);
            double t0 = g.startParam, t1 = g.endParam;
            if (std::abs(t1 - t0) < 1e-12) {
                t1 = t0 + 2 * kPi;
            }
            AddEllipticalArc(box, m.Apply(g.center), m.ApplyVector(g.majorAxis),
                             m.ApplyVector(minor), t0, t1);
            break;
        }
        case EntityType::LwPolyline: {
            const auto& g = *e.As<LwPolyline>();
            Transform t = ocs();
            const auto& v = g.vertices;
            for (std::size_t i = 0; i < v.size(); ++i) {
                bool last = i + 1 == v.size();
                if (last && !g.closed) {
                    box.Add(t.Apply({v[i].x, v[i].y, g.elevation}));
                    break;
                }
                const auto& b = v[last ? 0 : i + 1];
                AddBulge(box, t, v[i].x, v[i].y, b.x, b.y, v[i].bulge, g.elevation);
            }
            break;
        }
        case EntityType::Polyline: {
            const auto& g = *e.As<Polyline>();
            if (g.Is3d()) {
                for (const auto& v : g.vertices) {
                    bool faceRecord = (g.flags & Polyline::kPolyfaceMesh) && IsPolyfaceFace(v);
                    if (!faceRecord) {
                        box.Add(m.Apply(v.position));
                    }
                }
                break;
            }
            Transform t = ocs();
            const auto& v = g.vertices;
            for (std::size_t i = 0; i < v.size(); ++i) {
                bool last = i + 1 == v.size();
                if (last && !g.Closed()) {
                    box.Add(t.Apply({v[i].position.x, v[i].position.y, g.elevation}));
                    break;
                }
                const auto& b = v[last ? 0 : i + 1];
                AddBulge(box, t, v[i].position.x, v[i].position.y, b.position.x, b.position.y,
                         v[i].bulge, g.elevation);
            }
            break;
        }
        case EntityType::Spline: {
            const auto& g = *e.As<Spline>();
            AddSpline(box, m, g.degree, g.knots, g.controlPoints, g.weights, g.fitPoints);
            break;
        }
        case EntityType::Solid:
        case EntityType::Trace: {
            Transform t = ocs();
            for (const auto& c : e.As<Face>()->corners) {
                box.Add(t.Apply(c));
            }
            break;
        }
        case EntityType::Face3d:
            for (const auto& c : e.As<Face>()->corners) {
                box.Add(m.Apply(c));
            }
            break;
        case EntityType::Text:
            AddTextBox(box, m, *e.As<Text>(), n);
            break;
        case EntityType::MText:
            AddMTextBox(box, m, *e.As<MText>(), n);
            break;
        case EntityType::Attdef: {
            const auto& a = *e.As<Attribute>();
            if (a.isMText) {
                AddMTextBox(box, m, a.mtext, n);
            } else {
                AddTextBox(box, m, a.text, n);
            }
            break;
        }
        case EntityType::Leader:
            for (Vec3 p : e.As<Leader>()->vertices) {
                box.Add(m.Apply(p));
            }
            break;
        case EntityType::Hatch: {
            Transform t = ocs();
            AddHatch(box, t, *e.As<Hatch>());
            break;
        }
        case EntityType::Image: {
            const auto& g = *e.As<Image>();
            Vec3 u = g.uVector * g.pixelsU, v = g.vVector * g.pixelsV;
            for (Vec3 p : {g.position, g.position + u, g.position + v, g.position + u + v}) {
                box.Add(m.Apply(p));
            }
            break;
        }
        case EntityType::Viewport: {
            const auto& g = *e.As<Viewport>();
            if (g.id == 1) {
                break;  // the paper-space view itself
            }
            for (double sx : {-0.5, 0.5}) {
                for (double sy : {-0.5, 0.5}) {
                    box.Add(m.Apply(
                        {g.center.x + sx * g.width, g.center.y + sy * g.height, g.center.z}));
                }
            }
            break;
        }
        case EntityType::MLine: {
            const auto& g = *e.As<MLine>();
            for (const auto& v : g.vertices) {
                box.Add(m.Apply(v.position));
                for (const auto& params : v.params) {
                    if (!params.empty()) {
                        box.Add(m.Apply(v.position + v.miter * params[0]));
                    }
                }
            }
            break;
        }
        case EntityType::MLeader: {
            const auto& g = *e.As<MLeader>();
            for (const auto& b : g.branches) {
                box.Add(m.Apply(b.landing));
                for (const auto& l : b.lines) {
                    for (Vec3 p : l.vertices) {
                        box.Add(m.Apply(p));
                    }
                }
            }
            if (g.hasText) {
                AddMTextBox(box, m, g.text, n);
            }
            if (g.hasBlock) {
                box.Add(m.Apply(g.blockPosition));
            }
            break;
        }
        case EntityType::Wipeout: {
            const auto& g = *e.As<Image>();
            Vec3 u = g.uVector * g.pixelsU, v = g.vVector * g.pixelsV;
            for (Vec3 p : {g.position, g.position + u, g.position + v, g.position + u + v}) {
                box.Add(m.Apply(p));
            }
            break;
        }
        case EntityType::Tolerance:
            box.Add(m.Apply(e.As<Tolerance>()->position));  // the frames' corner
            break;
        case EntityType::Mesh:
            for (Vec3 p : e.As<Mesh>()->vertices) {
                box.Add(m.Apply(p));
            }
            break;
        case EntityType::Underlay: {
            // The page's size is in its file: the insertion point and the clip boundary.
            const auto& g = *e.As<Underlay>();
            const Transform u = m * OcsToWorld(e.props.extrusion) * g.ToOcs();
            box.Add(u.Apply({}));
            for (Vec3 p : g.ClipPolygon()) {
                box.Add(u.Apply(p));
            }
            break;
        }
        // Construction lines are endless: they have no extents (zooming to the extents
        // leaves them out, as the CAD application does).
        case EntityType::XLine:
        case EntityType::Ray:
        case EntityType::Insert:
        case EntityType::Table:
        case EntityType::Dimension:
        case EntityType::Unknown:
            break;
    }
    return box;
}

Box3 TransformBox(const Box3& b, const Transform& m) {
    Box3 r;
    if (b.Empty()) {
        return r;
    }
    for (double x : {b.min.x, b.max.x}) {
        for (double y : {b.min.y, b.max.y}) {
            for (double z : {b.min.z, b.max.z}) {
                r.Add(m.Apply({x, y, z}));
            }
        }
    }
    return r;
}

Transform InsertTransform(const Insert& ins, Vec3 extrusion, Vec3 base, int col, int row) {
    double r = ins.rotation * kDeg;
    double c = std::cos(r), s = std::sin(r);
    Transform rot;
    rot.m[0][0] = c, rot.m[0][1] = -s;
    rot.m[1][0] = s, rot.m[1][1] = c;
    Transform scale;
    scale.m[0][0] = ins.scale.x, scale.m[1][1] = ins.scale.y, scale.m[2][2] = ins.scale.z;
    Transform toBase;
    toBase.t = base * -1.0;
    Transform cell;
    cell.t = {col * ins.columnSpacing, row * ins.rowSpacing, 0};
    Transform at;
    at.t = ins.position;
    Transform ocs = IsDefaultExtrusion(extrusion) ? Transform{} : OcsToWorld(extrusion);
    return ocs * at * rot * cell * scale * toBase;
}

class ExtentsWalker {
public:
    ExtentsWalker(const ExtentsOptions& o) : options_(o), budget_(o.budget ? *o.budget : own_) {}

    void Walk(const Database& db, const Block& block, const Transform& m, int depth, Box3& box) {
        budget_.Spend(static_cast<std::int64_t>(block.entities.size()) + 1);
        for (const auto& e : block.entities) {
            if (e.props.invisible || db.layers[e.props.layer].frozen) {
                continue;
            }
            ++visits_;
            if (e.type == EntityType::Attdef && depth > 0) {
                continue;  // definitions are not drawn where the block is inserted
            }
            if (e.type == EntityType::Insert || e.type == EntityType::Table) {
                WalkInsert(db, e, m, depth, box);
            } else if (const Unknown* u = e.As<Unknown>(); u && u->graphics < db.blocks.size()) {
                Reference(db, db.blocks[u->graphics], m, depth, box);  // its picture
            } else if (e.type == EntityType::Dimension) {
                const auto& d = *e.As<Dimension>();
                if (d.block < db.blocks.size()) {
                    Transform at;
                    at.t = d.insertionPoint;
                    Reference(db, db.blocks[d.block], m * at, depth, box);
                }
            } else {
                box.Add(SimpleEntityBox(e, m));
            }
        }
    }

private:
    void WalkInsert(const Database& db, const Entity& e, const Transform& m, int depth, Box3& box) {
        const auto& ins = *e.As<Insert>();
        for (const auto& a : ins.attribs) {
            if (a.props.invisible || (a.attribute.flags & 1) || db.layers[a.props.layer].frozen) {
                continue;
            }
            if (a.attribute.isMText) {
                AddMTextBox(box, m, a.attribute.mtext, a.props.extrusion);
            } else {
                AddTextBox(box, m, a.attribute.text, a.props.extrusion);
            }
        }
        if (ins.block >= db.blocks.size()) {
            return;
        }
        const Block& target = db.blocks[ins.block];
        int cols = std::clamp<int>(ins.columns, 1, 32767);
        int rows = std::clamp<int>(ins.rows, 1, 32767);
        // Huge arrays: the corner cells bound the whole array.
        bool corners = static_cast<long>(cols) * rows > 64;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                if (corners && !((r == 0 || r == rows - 1) && (c == 0 || c == cols - 1))) {
                    continue;
                }
                Transform t = m * InsertTransform(ins, e.props.extrusion, target.base, c, r);
                Reference(db, target, t, depth, box);
            }
        }
    }

    void Reference(const Database& db, const Block& target, const Transform& t, int depth,
                   Box3& box) {
        if (depth + 1 > options_.maxDepth) {
            return;
        }
        if (target.IsXref()) {
            if (target.xref && target.xref->database && target.xref->database->ModelSpace()) {
                const Database& x = *target.xref->database;
                Transform base;
                base.t = x.header.insBase * -1.0;
                // The block's base already moved the origin; the xref's own base point
                // is where the referenced drawing attaches.
                if (visits_ > options_.exactBudget) {
                    box.Add(TransformBox(Cached(x, *x.ModelSpace(), depth), t * base));
                } else {
                    Walk(x, *x.ModelSpace(), t * base, depth + 1, box);
                }
            }
            return;
        }
        if (visits_ > options_.exactBudget) {
            box.Add(TransformBox(Cached(db, target, depth), t));
            return;
        }
        Walk(db, target, t, depth + 1, box);
    }

    Box3 Cached(const Database& db, const Block& b, int depth) {
        auto it = cache_.find(&b);
        if (it != cache_.end()) {
            return it->second;
        }
        cache_[&b] = Box3{};  // a cycle back to this block adds nothing
        Box3 local;
        Walk(db, b, Transform{}, depth + 1, local);
        cache_[&b] = local;
        return local;
    }

    const ExtentsOptions& options_;
    ExpansionBudget own_;
    ExpansionBudget& budget_;
    std::uint64_t visits_ = 0;
    std::unordered_map<const Block*, Box3> cache_;
};

}  // namespace

Box3 EntityExtents(const Database&, const Entity& entity, const Transform& toWorld) {
    return SimpleEntityBox(entity, toWorld);
}

Box3 BlockExtents(const Database& db, BlockId block, const ExtentsOptions& options) {
    Box3 box;
    if (block >= db.blocks.size()) {
        return box;
    }
    ExtentsWalker walker(options);
    walker.Walk(db, db.blocks[block], Transform{}, 0, box);
    return box;
}

Box3 ModelExtents(const Database& db, const ExtentsOptions& options) {
    return BlockExtents(db, db.modelSpace, options);
}

Box3 LayoutExtents(const Database& db, std::uint32_t layout, const ExtentsOptions& options) {
    if (layout >= db.layouts.size()) {
        return {};
    }
    return BlockExtents(db, db.layouts[layout].block, options);
}

}  // namespace vx::engine::db
