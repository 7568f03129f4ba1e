#include "servers/recordset.h"

#include "util/text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orv {

FieldValue FieldValue::Int(int64_t v) {
    FieldValue f;
    f.kind = Kind::Integer;
    f.integer = v;
    return f;
}

FieldValue FieldValue::Real(double v) {
    FieldValue f;
    f.kind = Kind::Float;
    f.real = v;
    return f;
}

FieldValue FieldValue::Str(std::string v) {
    FieldValue f;
    f.kind = Kind::Text;
    f.text = std::move(v);
    return f;
}

FieldValue FieldValue::Date(std::string isoDateTime) {
    FieldValue f;
    f.kind = Kind::DateTime;
    f.text = std::move(isoDateTime);
    return f;
}

FieldValue FieldValue::Boolean(bool v) {
    FieldValue f;
    f.kind = Kind::Bool;
    f.integer = v ? 1 : 0;
    return f;
}

FieldValue FieldValue::Dec(std::string digits) {
    FieldValue f;
    f.kind = Kind::Decimal;
    f.text = std::move(digits);
    return f;
}

FieldValue FieldValue::Bytes(std::string raw) {
    FieldValue f;
    f.kind = Kind::Binary;
    f.text = std::move(raw);
    return f;
}

std::string FieldValue::Text() const {
    switch (kind) {
    case Kind::Null:
        return {};
    case Kind::Integer:
        return std::to_string(integer);
    case Kind::Bool:
        return integer ? "True" : "False";
    case Kind::Float: {
        // Fifteen significant digits, as the classic conversion shows a double.
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.15g", real);
        return buf;
    }
    case Kind::Decimal:
    case Kind::Text:
        return text;
    case Kind::DateTime:
        return DateText();
    case Kind::Binary:
        return HexDigits(text);
    }
    return {};
}

int64_t FieldValue::Long() const {
    switch (kind) {
    case Kind::Integer:
    case Kind::Bool:
        return integer;
    case Kind::Float:
        return static_cast<int64_t>(std::nearbyint(real));
    case Kind::Decimal:
    case Kind::Text: {
        double d = 0;
        return ParseDouble(TrimWhitespace(text), d) ? static_cast<int64_t>(std::nearbyint(d)) : 0;
    }
    default:
        return 0;
    }
}

std::string FieldValue::DateText() const {
    if (kind != Kind::DateTime)
        return kind == Kind::Null ? std::string() : Text();
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3)
        return text;
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%d/%d/%d", mo, d, y);
    if (h != 0 || mi != 0 || s != 0) {
        int h12 = h % 12 == 0 ? 12 : h % 12;
        std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), " %d:%02d:%02d %s", h12, mi, s,
                      h < 12 ? "AM" : "PM");
    }
    return buf;
}

const FieldValue& Recordset::Value(const std::string& name) const {
    return Value(FieldIndex(name));
}

MemoryRecordset::MemoryRecordset(std::vector<FieldInfo> fields,
                                 std::vector<std::vector<FieldValue>> rows)
    : fields_(std::move(fields)), rows_(std::move(rows)) {}

const FieldInfo& MemoryRecordset::Field(int index) const {
    static const FieldInfo none;
    return index >= 0 && index < FieldCount() ? fields_[static_cast<size_t>(index)] : none;
}

int MemoryRecordset::FieldIndex(const std::string& name) const {
    for (int i = 0; i < FieldCount(); ++i)
        if (EqualsNoCase(fields_[static_cast<size_t>(i)].name, name))
            return i;
    return -1;
}

const FieldValue& MemoryRecordset::Value(int index) const {
    static const FieldValue null;
    if (IsBOF() || IsEOF() || index < 0 || index >= FieldCount())
        return null;
    const auto& row = rows_[static_cast<size_t>(pos_)];
    return static_cast<size_t>(index) < row.size() ? row[static_cast<size_t>(index)] : null;
}

void MemoryRecordset::MoveNext() {
    if (pos_ < static_cast<int64_t>(rows_.size()))
        ++pos_;
}

} // namespace orv
