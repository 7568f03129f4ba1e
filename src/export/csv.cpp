#include "export/csv.h"

namespace orv {

namespace {

bool NeedsQuotes(std::string_view value) {
    return value.find_first_of(",\"\r\n") != std::string_view::npos;
}

void AppendField(std::string& out, std::string_view value) {
    if (!NeedsQuotes(value)) {
        out.append(value);
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

std::string CsvField(std::string_view value) {
    std::string out;
    AppendField(out, value);
    return out;
}

void AppendCsvRecord(std::string& out, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (std::string_view f : fields) {
        if (!first)
            out += ',';
        first = false;
        AppendField(out, f);
    }
    out += "\r\n";
}

} // namespace orv
