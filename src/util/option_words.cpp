#include "util/option_words.h"

namespace orv {

bool OptionWords::Next() {
    if (next_ >= words_.size())
        return false;
    at_ = next_++;
    const std::string& w = words_[at_];
    const size_t eq = w.find('=');
    const bool option = w.rfind("--", 0) == 0;
    name_ = option ? w.substr(0, eq) : w;
    inline_ = option && eq != std::string::npos;
    return true;
}

bool OptionWords::Value(std::string& into, std::string& error) {
    if (inline_) {
        into = words_[at_].substr(name_.size() + 1);
        return true;
    }
    if (next_ >= words_.size()) {
        error = name_ + " needs a value";
        return false;
    }
    into = words_[next_++];
    return true;
}

bool OptionWords::Once(bool& given, std::string& error) const {
    if (given) {
        error = name_ + " is given twice";
        return false;
    }
    given = true;
    return true;
}

} // namespace orv
