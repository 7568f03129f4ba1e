// Splits a command line into switches: a delimiter, a key, and an optional value after the
// first blank. A bare switch gets its own key as its value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

class CCommandArgs {
public:
    std::string TestString;
    std::string Delim;

    // Rebuilds the switch table; with an empty TestString or Delim the old table stays.
    void Parse();
    int16_t Count() const { return static_cast<int16_t>(switches_.size()); }
    // A numeric argument is a 1-based position; anything else is a key compared ignoring case.
    // Empty text when nothing matches.
    std::string Item(const std::string& keyOrPosition) const;
    // 1-based; an index outside 1..Count throws std::out_of_range (subscript out of range).
    std::string Key(int16_t index) const;
    std::string Value(int16_t index) const;

    static constexpr int kMaxSwitches = 32767;

private:
    struct Switch {
        std::string key;
        std::string value;
    };
    std::vector<Switch> switches_;
};

} // namespace orv
