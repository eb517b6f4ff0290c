// A small deterministic generator (splitmix64): the same seed gives the same
// sequence of calls on every machine and every run, so a failing seed replays.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace robustness {

class SeededRandom {
  public:
    explicit SeededRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // A whole number in [low, high].
    std::int64_t between(std::int64_t low, std::int64_t high) {
        std::uint64_t span = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<std::int64_t>(span == 0 ? next() : next() % span);
    }

    // True with the given chance in percent.
    bool percent(int chance) { return between(0, 99) < chance; }

    template <typename T> const T& pick(const std::vector<T>& values) {
        return values[static_cast<std::size_t>(between(0, static_cast<std::int64_t>(values.size()) - 1))];
    }

    template <typename T> T pick(std::initializer_list<T> values) {
        return values.begin()[between(0, static_cast<std::int64_t>(values.size()) - 1)];
    }

  private:
    std::uint64_t state_;
};

} // namespace robustness
