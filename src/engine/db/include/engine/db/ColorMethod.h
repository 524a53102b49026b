#pragma once

#include <cstdint>
#include <optional>

#include "engine/db/Entities.h"

namespace vx::engine::db {

// A colour stored with its method in the top byte, as DWG colours, proxy graphics and
// multileaders keep it: 0xC0 by layer, 0xC1 by block, 0xC2 a true colour (the low three
// bytes; `nearestIndex` the palette index shown where true colours are not), 0xC3 a
// palette index (the low byte). Any other method (0xC8 "none" among them): nothing.
std::optional<Color> ColorFromMethod(std::uint32_t value, std::int16_t nearestIndex);

}  // namespace vx::engine::db
