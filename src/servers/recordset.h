// A record set as the catalog and the windows read it: fields by index or by name, moving
// through the rows, beginning/end tests, record count, close. The ODBC layer fills it from the
// server; MemoryRecordset holds given rows (tests and derived results).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace orv {

// One cell value with its SQL kind, so callers can ask for the form they need.
struct FieldValue {
    enum class Kind { Null, Integer, Float, Decimal, Text, Binary, Bool, DateTime };
    Kind kind = Kind::Null;
    int64_t integer = 0; // Integer, Bool (0/1)
    double real = 0.0;   // Float
    // Decimal: exact digits ("12.50"); Text: UTF-8; Binary: raw bytes;
    // DateTime: "YYYY-MM-DD hh:mm:ss.fff".
    std::string text;

    static FieldValue Null() { return {}; }
    static FieldValue Int(int64_t v);
    static FieldValue Real(double v);
    static FieldValue Str(std::string v);
    static FieldValue Date(std::string isoDateTime);
    static FieldValue Boolean(bool v);
    static FieldValue Dec(std::string digits);
    static FieldValue Bytes(std::string raw);

    bool IsNull() const { return kind == Kind::Null; }
    // The text form, as the classic conversion to text gives it: whole numbers in digits,
    // Booleans "True"/"False", dates as DateText, binary as hex digits, null as "".
    std::string Text() const;
    // The whole-number form (texts are converted; null and unconvertible values give 0).
    int64_t Long() const;
    // US short form: "M/D/YYYY h:mm:ss AM", the time left out at midnight. Empty when null.
    std::string DateText() const;
};

struct FieldInfo {
    std::string name;
    int32_t sqlType = 0; // ODBC SQL type code of the column
    int64_t size = 0;    // column size as the driver reports it
};

class Recordset {
public:
    virtual ~Recordset() = default;

    virtual bool IsOpen() const = 0;
    virtual int FieldCount() const = 0;
    virtual const FieldInfo& Field(int index) const = 0;
    // Case-insensitive; -1 when there is no such field.
    virtual int FieldIndex(const std::string& name) const = 0;
    // The current row's value; a null value when there is no current row or no such field.
    virtual const FieldValue& Value(int index) const = 0;
    const FieldValue& Value(const std::string& name) const;

    // IsBOF: before the first row (also when empty); IsEOF: after the last row (also when empty).
    virtual bool IsBOF() const = 0;
    virtual bool IsEOF() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveNext() = 0;
    // Number of rows; -1 when it is not known yet (a server-side cursor not read to the end).
    virtual int64_t RecordCount() const = 0;
    virtual void Close() = 0;
    // A reader that only moves forward (the data view over millions of rows) lets the record
    // set forget rows it has passed; MoveFirst then no longer goes back past them.
    virtual void SetForwardOnly(bool on) { (void)on; }
    // True once reading the rows has failed part-way (MoveNext then raised RecordsetError).
    virtual bool Failed() const { return false; }
};

using RecordsetPtr = std::unique_ptr<Recordset>;

// Raised by MoveNext when the rows stop coming because reading them failed (the link dropped,
// the command timed out, the server sent an error inside the result). A reader that took the
// rows seen so far for the whole result would show a short list, a cut text or a partial
// report as if nothing had happened; the error makes its handler say what went wrong.
class RecordsetError : public std::runtime_error {
public:
    RecordsetError(int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int32_t Number() const { return number_; }

private:
    int32_t number_;
};

// Rows kept in memory.
class MemoryRecordset : public Recordset {
public:
    MemoryRecordset(std::vector<FieldInfo> fields, std::vector<std::vector<FieldValue>> rows);

    bool IsOpen() const override { return open_; }
    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    const FieldInfo& Field(int index) const override;
    int FieldIndex(const std::string& name) const override;
    const FieldValue& Value(int index) const override;
    using Recordset::Value; // by name, too
    bool IsBOF() const override { return rows_.empty() || pos_ < 0; }
    bool IsEOF() const override {
        return rows_.empty() || pos_ >= static_cast<int64_t>(rows_.size());
    }
    void MoveFirst() override { pos_ = 0; }
    void MoveNext() override;
    int64_t RecordCount() const override { return static_cast<int64_t>(rows_.size()); }
    void Close() override { open_ = false; }

private:
    std::vector<FieldInfo> fields_;
    std::vector<std::vector<FieldValue>> rows_;
    int64_t pos_ = 0;
    bool open_ = true;
};

} // namespace orv
