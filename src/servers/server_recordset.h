// The record set of a server-side cursor: it holds its connection until it is closed and reads
// rows from the server in blocks of the cache size as the caller moves on. Rows already read
// are kept, so MoveFirst goes back without running the command again (the catalog counts the
// rows and then starts over; a second run would double the server's work and could see other
// rows).
#pragma once

#include "servers/odbc_connection.h"
#include "servers/odbc_statement.h"
#include "servers/recordset.h"

#include <memory>
#include <vector>

namespace orv {

class ServerRecordset : public Recordset {
public:
    ServerRecordset(OdbcConnectionPtr connection, std::unique_ptr<OdbcStatement> statement,
                    int32_t cacheSize);
    ~ServerRecordset() override;

    // Reads the first block; false (with `error`) when the server failed at once.
    bool Open(OdbcError& error);

    bool IsOpen() const override { return open_; }
    int FieldCount() const override { return static_cast<int>(fields_.size()); }
    const FieldInfo& Field(int index) const override;
    int FieldIndex(const std::string& name) const override;
    const FieldValue& Value(int index) const override;
    using Recordset::Value; // by name, too
    bool IsBOF() const override { return rows_.empty() && passed_ == 0; }
    bool IsEOF() const override { return pos_ >= rows_.size(); }
    void MoveFirst() override { pos_ = 0; }
    void SetForwardOnly(bool on) override { forwardOnly_ = on; }
    // Raises RecordsetError when the next block cannot be read.
    void MoveNext() override;
    int64_t RecordCount() const override;
    void Close() override;
    bool Failed() const override { return failed_; }

    // How many rows have come from the server so far.
    size_t RowsFetched() const { return passed_ + rows_.size(); }
    // How many rows are held in memory now.
    size_t RowsHeld() const { return rows_.size(); }
    int32_t CacheSize() const { return cacheSize_; }

private:
    bool FetchBlock(OdbcError& error);

    OdbcConnectionPtr connection_;
    std::unique_ptr<OdbcStatement> statement_;
    std::vector<FieldInfo> fields_;
    std::vector<std::vector<FieldValue>> rows_;
    size_t pos_ = 0;
    size_t passed_ = 0; // rows forgotten by a forward-only reader
    bool forwardOnly_ = false;
    int32_t cacheSize_;
    bool done_ = false;
    bool failed_ = false;
    bool open_ = false;
};

} // namespace orv
