// Builds in-memory record sets shaped like the catalog queries' results.
#pragma once

#include "servers/recordset.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace orv::test {

inline std::unique_ptr<MemoryRecordset> Rows(std::vector<std::string> names,
                                             std::vector<std::vector<FieldValue>> rows) {
    std::vector<FieldInfo> fields;
    for (auto& n : names)
        fields.push_back({n, 0, 0});
    return std::make_unique<MemoryRecordset>(std::move(fields), std::move(rows));
}

inline FieldValue S(const std::string& s) {
    return FieldValue::Str(s);
}
inline FieldValue I(int64_t v) {
    return FieldValue::Int(v);
}
inline FieldValue Null() {
    return FieldValue::Null();
}

} // namespace orv::test
