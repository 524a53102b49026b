// How far one page of a drawing may expand while it is built: entity visits through block
// references and arrays, hatch and dash pieces, glyph runs and every other primitive (what
// reaches the page weighs by its size there, as drawing it costs), and the bytes of what
// reaches the page. Real drawings stay far below both; hostile ones
// (blocks that insert themselves, arrays of arrays, patterns finer than the page) stop
// here at once, with a clear error, instead of growing until memory runs out.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace vx::engine::db {

inline constexpr std::int64_t kMaxPagePrimitives = 20'000'000;
inline constexpr std::int64_t kMaxPageBytes = std::int64_t{1} << 30;

// Thrown when a budget is passed; what() is the message for the user.
class ExpansionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ExpansionBudget {
public:
    explicit ExpansionBudget(std::int64_t primitives = kMaxPagePrimitives,
                             std::int64_t bytes = kMaxPageBytes)
        : maxPrimitives_(primitives),
          maxBytes_(bytes),
          primitivesLeft_(primitives),
          bytesLeft_(bytes) {}

    // Counts `n` primitives (or visits); throws ExpansionError once the budget is passed.
    void Spend(std::int64_t n = 1) {
        primitivesLeft_ -= n;
        if (primitivesLeft_ < 0) [[unlikely]] {
            TooManyPrimitives();
        }
    }
    // Counts `n` bytes kept for the page; throws ExpansionError once the budget is passed.
    void SpendBytes(std::int64_t n) {
        bytesLeft_ -= n;
        if (bytesLeft_ < 0) [[unlikely]] {
            TooManyBytes();
        }
    }
    std::int64_t Spent() const { return maxPrimitives_ - primitivesLeft_; }

private:
    [[noreturn]] void TooManyPrimitives() const;
    [[noreturn]] void TooManyBytes() const;

    std::int64_t maxPrimitives_;
    std::int64_t maxBytes_;
    std::int64_t primitivesLeft_;
    std::int64_t bytesLeft_;
};

}  // namespace vx::engine::db
