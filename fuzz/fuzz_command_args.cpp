// The command line is whatever a shortcut, a script or a hostile caller hands the program. The
// first input byte picks the delimiter's length, the rest is split into delimiter and text.
#include "util/command_args.h"
#include "util/memory_prompter.h"
#include "util/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

template <typename F> bool Throws(F&& f) {
    try {
        f();
    } catch (const std::out_of_range&) {
        return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static orv::MemoryPrompter prompter;
    prompter.messages.clear();
    orv::SetCurrentPrompter(&prompter);

    const size_t delimLength = std::min<size_t>(data[0] % 4, size - 1);
    const char* text = reinterpret_cast<const char*>(data + 1);
    orv::CCommandArgs args;
    args.Delim.assign(text, delimLength);
    args.TestString.assign(text + delimLength, size - 1 - delimLength);
    args.Parse();

    const int16_t count = args.Count();
    Require(count >= 0 && count <= orv::CCommandArgs::kMaxSwitches, "count fits 16 bits");
    if (args.Delim.empty() || args.TestString.empty())
        Require(count == 0, "nothing to parse gives no switches");
    else
        Require(count <= static_cast<int16_t>(args.TestString.size() / args.Delim.size()),
                "at most one switch per delimiter");
    Require(prompter.messages.size() <= 1, "an overflow is reported once");

    for (int16_t i = 1; i <= count; ++i) {
        const std::string key = args.Key(i);
        const std::string value = args.Value(i);
        Require(!value.empty() || key.empty(), "a bare switch is its own value");
        Require(orv::Trim(key) == key && orv::Trim(value) == value, "keys and values are trimmed");
        Require(args.Item(std::to_string(i)) == value, "a position finds its switch");
        // Start-up turns the value into a number; whatever it accepts must be that number.
        int32_t number = 0, again = 0;
        if (orv::ParseInt32(value, number))
            Require(orv::ParseInt32(std::to_string(number), again) && again == number,
                    "an accepted number reads back as itself");
        // By key the first switch of that name answers, which may be an earlier one.
        int32_t asNumber = 0;
        if (!orv::ParseInt32(key, asNumber)) {
            int16_t first = 1;
            while (!orv::EqualsNoCase(args.Key(first), key))
                ++first;
            Require(args.Item(key) == args.Value(first), "a key finds its first switch");
        }
    }
    Require(Throws([&] { args.Key(0); }) && Throws([&] { args.Value(count + 1); }),
            "positions outside the table are refused");
    Require(args.Item("0").empty() && args.Item(std::to_string(count + 1)).empty(),
            "positions outside the table give no value");

    orv::SetCurrentPrompter(nullptr);
    return 0;
}
