// The drawing database's header variables, and the version and unit names read from them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/db/Entities.h"

namespace vx::engine::db {

struct Header {
    std::string acadVersion{};     // $ACADVER as stored, e.g. "AC1015"; empty when absent
    std::string codePage{};        // $DWGCODEPAGE, e.g. "ANSI_1252"
    std::int16_t insUnits = 0;     // $INSUNITS: 0 unitless, 1 in, 2 ft, 4 mm, 5 cm, 6 m, ...
    std::int16_t measurement = 0;  // $MEASUREMENT: 0 imperial, 1 metric
    std::int16_t lunits = 2;       // $LUNITS
    std::int16_t luprec = 4;
    std::int16_t aunits = 0;
    Vec3 extMin{}, extMax{};  // $EXTMIN/$EXTMAX as stored
    bool hasExtents = false;
    Vec3 limMin{}, limMax{};    // $LIMMIN/$LIMMAX
    Vec3 pExtMin{}, pExtMax{};  // paper space
    Vec3 pLimMin{}, pLimMax{};
    Vec3 insBase{};
    std::int16_t pdMode = 0;  // $PDMODE
    double pdSize = 0;        // $PDSIZE
    double ltScale = 1;       // $LTSCALE
    double celtScale = 1;
    bool psLtScale = true;
    std::int16_t tileMode = 1;
    bool lwDisplay = false;
    std::int16_t pStyleMode = 1;  // 1 colour-dependent (ctb), 0 named (stb)
    double textSize = 2.5;
    // $DIMASZ, arrowhead size of dimensions and leaders; unset when the file stores none
    // (the default then follows $MEASUREMENT).
    std::optional<double> dimAsz;
    double dimScale = 1;          // $DIMSCALE: overall scale of dimension sizes
    std::int16_t lwDefault = 25;  // $LWDEFAULT: the width "Default" stands for (1/100 mm)
    // Frames of WIPEOUT entities (the WIPEOUTVARIABLES object): 0 none, 1 shown and
    // plotted, 2 shown but not plotted.
    std::int16_t wipeoutFrame = 0;
    Handle handSeed = 0;
    // Every header variable with its values as text (group code, value) for what the
    // fields above do not carry.
    std::map<std::string, std::vector<std::pair<int, std::string>>> variables;
};

// The format version as a number for comparisons: 1009 for "AC1009", ... 1032.
int VersionNumber(std::string_view acadVersion);
// A readable release name: "AC1015" → "R2000".
std::string_view ReleaseName(std::string_view acadVersion);
// A readable unit name for $INSUNITS.
std::string_view UnitsName(int insUnits);

}  // namespace vx::engine::db
