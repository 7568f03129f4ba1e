#include "compare/line_alignment.h"

namespace orv {

std::vector<AlignedRow> AlignMarkedLines(const CompLines& source, const CompLines& target) {
    std::vector<AlignedRow> rows;
    rows.reserve(source.size() > target.size() ? source.size() : target.size());
    const int64_t ns = static_cast<int64_t>(source.size());
    const int64_t nt = static_cast<int64_t>(target.size());
    int64_t s = 0, t = 0;
    while (s < ns || t < nt) {
        const int32_t ss = s < ns ? source[static_cast<size_t>(s)].Status : -1;
        const int32_t ts = t < nt ? target[static_cast<size_t>(t)].Status : -1;
        if (ss == LineOnlyInSource || (ss >= 0 && ts < 0)) {
            rows.push_back({s++, -1, ss == LineOnlyInSource ? LineOnlyInSource : ss});
        } else if (ts == LineOnlyInTarget || ss < 0) {
            rows.push_back({-1, t++, ts == LineOnlyInTarget ? LineOnlyInTarget : ts});
        } else {
            // Same with same, changed with changed; a mismatch of the two (which the marking
            // does not produce) still pairs, taking the source's status.
            rows.push_back({s++, t++, ss});
        }
    }
    return rows;
}

} // namespace orv
