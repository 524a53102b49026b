// Two readings of one drawing compared entity by entity (the DWG twins of DXF files, the
// examples generator's round trip): entities by handle, counts by layout, and what each
// entity says as words (texts, names) and numbers (its geometry).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "engine/db/Database.h"

namespace vx::test {

using engine::db::Database;
using engine::db::Entity;

inline std::unordered_map<engine::db::Handle, const Entity*> ByHandle(const Database& d) {
    std::unordered_map<engine::db::Handle, const Entity*> m;
    for (const auto& b : d.blocks) {
        for (const auto& e : b.entities) {
            m.emplace(e.props.handle, &e);
        }
    }
    return m;
}

// Entity counts by type in one block.
inline std::map<std::string, int> CountsOf(const engine::db::Block& b) {
    std::map<std::string, int> m;
    for (const auto& e : b.entities) {
        ++m[std::string(e.TypeName())];
    }
    return m;
}

// Entity counts by type, per layout name, of the entities `counted` accepts.
inline std::map<std::string, std::map<std::string, int>> CountsByLayout(
    const Database& d, const std::function<bool(const Entity&)>& counted = {}) {
    std::map<std::string, std::map<std::string, int>> c;
    for (const auto& l : d.layouts) {
        auto& m = c[l.name];
        for (const auto& e : d.blocks[l.block].entities) {
            if (!counted || counted(e)) {
                ++m[std::string(e.TypeName())];
            }
        }
    }
    return c;
}

// The header variables a leader's arrowhead is sized by.
inline auto ArrowSizing(const engine::db::Header& h) {
    return std::tuple(h.dimAsz, h.dimScale, h.measurement);
}

inline bool Anonymous(const std::string& name) {
    return !name.empty() && name[0] == '*';
}

// Control characters as DXF files spell them (^J), as the DWG file holds them.
inline std::string Uncaret(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '^' && i + 1 < s.size() &&
            (s[i + 1] == ' ' || (s[i + 1] >= '@' && s[i + 1] <= '_'))) {
            out += s[i + 1] == ' ' ? '^' : static_cast<char>(s[i + 1] - '@');
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

struct Reading {
    std::vector<std::string> words;
    std::vector<double> numbers;
};

// What an entity says beyond its common properties. Leaders give their first vertex
// only (exports may add the end of the hook line), splines by their fit points the
// number and the last of those.
inline Reading ReadingOf(const Database& d, const Entity& e) {
    namespace db = engine::db;
    Reading r;
    auto n = [&r](std::initializer_list<double> v) { r.numbers.insert(r.numbers.end(), v); };
    auto p = [&n](db::Vec3 v) { n({v.x, v.y, v.z}); };
    auto text = [&](const db::Text& t) {
        const std::string style = t.style == db::kNone ? "Standard" : d.textStyles[t.style].name;
        r.words.insert(r.words.end(), {Uncaret(t.text), db::FoldName(style)});
        p(t.position);
        n({t.height, t.rotation, double(t.halign), double(t.valign)});
    };
    if (const auto* g = e.As<db::Line>()) {
        p(g->start), p(g->end);
    } else if (const auto* c = e.As<db::Circle>()) {
        p(c->center), n({c->radius});
    } else if (const auto* a = e.As<db::Arc>()) {
        p(a->center), n({a->radius, a->startAngle, a->endAngle});
    } else if (const auto* el = e.As<db::Ellipse>()) {
        p(el->center), p(el->majorAxis), n({el->ratio, el->endParam});
    } else if (const auto* pt = e.As<db::Point>()) {
        p(pt->position);
    } else if (const auto* t = e.As<db::Text>()) {
        text(*t);
    } else if (const auto* m = e.As<db::MText>()) {
        r.words.push_back(Uncaret(m->text));
        p(m->position), n({m->height, double(m->attachment)});
    } else if (const auto* lw = e.As<db::LwPolyline>()) {
        for (const auto& v : lw->vertices) {
            n({v.x, v.y, v.bulge});
        }
        n({double(lw->closed)});
    } else if (const auto* pl = e.As<db::Polyline>()) {
        for (const auto& v : pl->vertices) {
            p(v.position);
        }
        n({double(pl->Closed()), double(pl->Is3d())});
    } else if (const auto* sp = e.As<db::Spline>()) {
        const auto& points = sp->controlPoints.empty() ? sp->fitPoints : sp->controlPoints;
        n({double(sp->degree), double(points.size()), double(sp->knots.size())});
        if (!points.empty()) {
            p(points.back());
        }
    } else if (const auto* f = e.As<db::Face>()) {
        for (const auto& corner : f->corners) {
            p(corner);
        }
    } else if (const auto* ins = e.As<db::Insert>()) {
        r.words.push_back(Anonymous(ins->blockName) ? "*" : ins->blockName);
        for (const auto& at : ins->attribs) {
            r.words.insert(r.words.end(), {at.attribute.tag, at.attribute.text.text});
        }
        p(ins->position), p(ins->scale), n({ins->rotation});
    } else if (const auto* dim = e.As<db::Dimension>()) {
        r.words.push_back(Uncaret(dim->text));
        p(dim->definitionPoint), p(dim->textMidpoint);
        n({double(dim->dimType & 0x0F), dim->measurement});
    } else if (const auto* h = e.As<db::Hatch>()) {
        r.words.push_back(h->patternName);
        n({double(h->solid), h->patternAngle, double(h->patternLines.size())});
        for (const auto& path : h->paths) {
            n({double(path.edges.size()), double(path.polyline.size())});
        }
    } else if (const auto* vp = e.As<db::Viewport>()) {
        for (auto l : vp->frozenLayers) {
            r.words.push_back(d.layers[l].name);
        }
        p(vp->center), p(vp->viewCenter), n({vp->width, vp->height, vp->viewHeight});
    } else if (const auto* im = e.As<db::Image>()) {
        r.words.push_back(im->imageDef == db::kNone ? "(none)" : d.images[im->imageDef].fileName);
        p(im->position), p(im->uVector);
    } else if (const auto* ld = e.As<db::Leader>()) {
        if (!ld->vertices.empty()) {
            p(ld->vertices.front());
        }
    } else if (const auto* ml = e.As<db::MLeader>()) {
        r.words.push_back(ml->text.text);
        n({double(ml->contentType), double(ml->lineType), ml->arrowSize, double(ml->hasText),
           ml->text.height, double(ml->textFrame), ml->landingGap});
        p(ml->text.position);
        for (const auto& b : ml->branches) {
            p(b.landing), n({b.doglegLength, double(b.lines.size())});
            for (const auto& line : b.lines) {
                n({double(line.vertices.size())});
                if (!line.vertices.empty()) {
                    p(line.vertices.front());
                }
            }
        }
    } else if (const auto* xl = e.As<db::XLine>()) {
        p(xl->base), p(xl->direction);
    } else if (const auto* mline = e.As<db::MLine>()) {
        r.words.push_back(mline->style == db::kNone ? "(none)" : d.mlineStyles[mline->style].name);
        n({mline->scale, double(mline->flags), double(mline->vertices.size())});
        for (const auto& v : mline->vertices) {
            p(v.position), p(v.miter);
            for (const auto& element : v.params) {
                r.numbers.insert(r.numbers.end(), element.begin(), element.end());
            }
        }
    } else if (const auto* at = e.As<db::Attribute>()) {
        r.words.insert(r.words.end(), {at->tag, at->prompt});
        text(at->text);
    } else if (const auto* fcf = e.As<db::Tolerance>()) {
        r.words.push_back(Uncaret(fcf->text));
        p(fcf->position);
        p(fcf->xAxis);
    } else if (const auto* u = e.As<db::Underlay>()) {
        const db::UnderlayDef* def =
            u->definition == db::kNone ? nullptr : &d.underlays[u->definition];
        r.words.push_back(def ? def->fileName + " page " + def->pageName : "(none)");
        p(u->position), p(u->scale);
        n({u->rotation, double(u->flags), double(u->contrast), double(u->fade),
           double(u->clipBoundary.size())});
    } else if (const auto* mesh = e.As<db::Mesh>()) {
        n({static_cast<double>(mesh->vertices.size()), static_cast<double>(mesh->faceSizes.size()),
           mesh->faceIndices.empty() ? -1.0 : static_cast<double>(mesh->faceIndices.back())});
        p(mesh->vertices.empty() ? db::Vec3{} : mesh->vertices.back());
    }
    return r;
}

// The two readings agree: the same words, the same numbers to 1e-9 of their size.
inline void ExpectSameReading(const Reading& a, const Reading& b, const std::string& what) {
    EXPECT_EQ(a.words, b.words) << what;
    ASSERT_EQ(a.numbers.size(), b.numbers.size()) << what;
    for (std::size_t i = 0; i < a.numbers.size(); ++i) {
        EXPECT_NEAR(a.numbers[i], b.numbers[i], 1e-9 * (1 + std::abs(b.numbers[i])))
            << what << ", number " << i;
    }
}

}  // namespace vx::test
