#include "engine/db/Budget.h"

#include <string>

namespace vx::engine::db {

void ExpansionBudget::TooManyPrimitives() const {
    throw ExpansionError("The drawing expands to more than " + std::to_string(maxPrimitives_) +
                         " primitives.");
}

void ExpansionBudget::TooManyBytes() const {
    throw ExpansionError("The drawing expands to more than " +
                         std::to_string(maxBytes_ / (1024 * 1024)) +
                         " MB of primitives on one page.");
}

}  // namespace vx::engine::db
