#include "dbcompare/data_compare_results.h"

#include "util/text.h"

#include <cstdio>

namespace orv {

const char* DataPairStatusWord(DataPairStatus status) {
    switch (status) {
    case DataPairStatus::Identical:
        return "identical";
    case DataPairStatus::Different:
        return "different";
    case DataPairStatus::NotComparable:
        return "not comparable";
    case DataPairStatus::OnlyInSource:
        return "only in source";
    case DataPairStatus::OnlyInTarget:
        return "only in target";
    }
    return "";
}

const char* RowStatusWord(RowStatus status) {
    switch (status) {
    case RowStatus::Different:
        return "different";
    case RowStatus::OnlyInSource:
        return "only in source";
    case RowStatus::OnlyInTarget:
        return "only in target";
    case RowStatus::Conflict:
        return "conflict";
    }
    return "";
}

const char* KeyOriginWord(KeyOrigin origin) {
    switch (origin) {
    case KeyOrigin::PrimaryKey:
        return "primary key";
    case KeyOrigin::UniqueIndex:
        return "unique index";
    case KeyOrigin::Picked:
        return "picked";
    case KeyOrigin::None:
        break;
    }
    return "none";
}

const char* DataCompareModeWord(DataCompareMode mode) {
    switch (mode) {
    case DataCompareMode::Merge:
        return "merge";
    case DataCompareMode::Hash:
        return "hash";
    case DataCompareMode::Auto:
        break;
    }
    return "auto";
}

std::string DataTableResult::DisplayName() const {
    const int side = HasSource ? 0 : 1;
    return Schema[side].empty() ? Name[side] : Schema[side] + "." + Name[side];
}

bool DataCompareResults::AllIdentical() const {
    if (!Complete())
        return false;
    for (const DataTableResult& t : Tables)
        if (t.Status != DataPairStatus::Identical)
            return false;
    return true;
}

std::array<int64_t, kDataPairStatusCount> DataCompareResults::PairCounts() const {
    std::array<int64_t, kDataPairStatusCount> counts{};
    for (const DataTableResult& t : Tables)
        ++counts[static_cast<size_t>(t.Status)];
    return counts;
}

std::string DataCellText(const FieldValue& value) {
    switch (value.kind) {
    case FieldValue::Kind::Null:
        return "NULL";
    case FieldValue::Kind::Binary:
        return "0x" + HexDigits(value.text);
    case FieldValue::Kind::Bool:
        return value.integer ? "1" : "0";
    case FieldValue::Kind::Integer:
        return std::to_string(value.integer);
    case FieldValue::Kind::Float: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", value.real);
        return buf;
    }
    case FieldValue::Kind::Decimal:
    case FieldValue::Kind::Text:
    case FieldValue::Kind::DateTime:
        return value.text;
    }
    return value.text;
}

} // namespace orv
