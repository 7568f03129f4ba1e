// A CSV reader written from RFC 4180's grammar, independent of the program's writer, so a
// fault in the writer is not mirrored by the reader that checks it. Flags (as test failures)
// a quote, CR or LF outside a quoted field and a last record without its CR LF.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv::test {

inline std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == ',') {
            records.back().push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.back().push_back(field);
            field.clear();
            records.emplace_back();
            ++i;
        } else {
            EXPECT_TRUE(c != '"' && c != '\r' && c != '\n')
                << "unquoted special character at " << i << " in " << text;
            field += c;
        }
    }
    EXPECT_TRUE(records.back().empty() && field.empty() && !quoted)
        << "the last record is not closed by CR LF";
    records.pop_back();
    return records;
}

} // namespace orv::test
