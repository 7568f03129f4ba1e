// Reads the words of a command-line verb one at a time, an option's value given either as the
// next word ("--name value") or after an equals sign ("--name=value").
#pragma once

#include <string>
#include <vector>

namespace orv {

class OptionWords {
public:
    explicit OptionWords(const std::vector<std::string>& words) : words_(words) {}

    // Moves to the next word; false after the last.
    bool Next();
    // The word as given.
    const std::string& Word() const { return words_[at_]; }
    // An option's name without its "=value"; any other word as it stands.
    const std::string& Name() const { return name_; }
    // Whether the word carries its value after an equals sign.
    bool HasInlineValue() const { return inline_; }
    // The option's value: after its "=", else the next word, which is then used up. False with
    // "NAME needs a value" in `error` when there is none.
    bool Value(std::string& into, std::string& error);
    // False with "NAME is given twice" in `error` when `given` is set already; sets it.
    bool Once(bool& given, std::string& error) const;

private:
    const std::vector<std::string>& words_;
    size_t next_ = 0;
    size_t at_ = 0;
    std::string name_;
    bool inline_ = false;
};

} // namespace orv
