#include "catalog/record_counts.h"

namespace orv {

std::string ReportNumberColumn(int64_t number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 4)
        digits.insert(0, 4 - digits.size(), ' ');
    return digits + "  ";
}

std::string FormatThousands(int64_t value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out = value < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string RecordCountText(int64_t count) {
    return " (" + FormatThousands(count) + (count == 1 ? " record)" : " records)");
}

} // namespace orv
