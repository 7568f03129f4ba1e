#include "util/command_args.h"

#include "util/prompter.h"
#include "util/text.h"

#include <stdexcept>

namespace orv {

void CCommandArgs::Parse() {
    if (TestString.empty() || Delim.empty())
        return;
    switches_.clear();
    const size_t dl = Delim.size();
    size_t pos = TestString.find(Delim);
    while (pos != std::string::npos) {
        size_t next = TestString.find(Delim, pos + dl);
        std::string text =
            next == std::string::npos ? TestString.substr(pos) : TestString.substr(pos, next - pos);
        pos = next;
        if (text.empty())
            continue;
        if (static_cast<int>(switches_.size()) >= kMaxSwitches) {
            // The switch count is a 16-bit number; report once and keep what fits.
            CurrentPrompter().MessageBox(MsgIcon::None, "Parse", "Error: 6. Overflow");
            return;
        }
        text += ' ';
        size_t blank = text.find(' ', dl);
        Switch s;
        s.key = Trim(text.substr(dl, blank - dl));
        s.value = Trim(text.substr(blank + 1));
        if (s.value.empty())
            s.value = s.key;
        switches_.push_back(std::move(s));
    }
}

std::string CCommandArgs::Item(const std::string& keyOrPosition) const {
    int32_t position = 0;
    if (ParseInt32(keyOrPosition, position)) {
        if (position >= 1 && position <= Count())
            return switches_[static_cast<size_t>(position - 1)].value;
        return {};
    }
    for (const auto& s : switches_)
        if (EqualsNoCase(s.key, keyOrPosition))
            return s.value;
    return {};
}

std::string CCommandArgs::Key(int16_t index) const {
    if (index < 1 || index > Count())
        throw std::out_of_range("Subscript out of range");
    return switches_[static_cast<size_t>(index - 1)].key;
}

std::string CCommandArgs::Value(int16_t index) const {
    if (index < 1 || index > Count())
        throw std::out_of_range("Subscript out of range");
    return switches_[static_cast<size_t>(index - 1)].value;
}

} // namespace orv
