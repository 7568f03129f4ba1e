#include "servers/server_recordset.h"

#include "core/log.h"
#include "util/text.h"

namespace orv {

ServerRecordset::ServerRecordset(OdbcConnectionPtr connection,
                                 std::unique_ptr<OdbcStatement> statement, int32_t cacheSize)
    : connection_(std::move(connection)), statement_(std::move(statement)),
      cacheSize_(cacheSize > 0 ? cacheSize : 1) {
    fields_ = statement_->Fields();
}

ServerRecordset::~ServerRecordset() {
    Close();
}

bool ServerRecordset::Open(OdbcError& error) {
    open_ = true;
    if (!FetchBlock(error)) {
        Close();
        return false;
    }
    return true;
}

bool ServerRecordset::FetchBlock(OdbcError& error) {
    if (done_ || !statement_)
        return true;
    if (!statement_->Fetch(cacheSize_, rows_, done_, error)) {
        failed_ = true;
        done_ = true;
        return false;
    }
    if (done_) {
        // Everything has arrived; the statement is finished but the connection stays with the
        // record set until it is closed, as callers expect of a server-side cursor.
        statement_.reset();
    }
    return true;
}

const FieldInfo& ServerRecordset::Field(int index) const {
    static const FieldInfo none;
    return index >= 0 && index < FieldCount() ? fields_[static_cast<size_t>(index)] : none;
}

int ServerRecordset::FieldIndex(const std::string& name) const {
    for (int i = 0; i < FieldCount(); ++i)
        if (EqualsNoCase(fields_[static_cast<size_t>(i)].name, name))
            return i;
    return -1;
}

const FieldValue& ServerRecordset::Value(int index) const {
    static const FieldValue null;
    if (pos_ >= rows_.size() || index < 0 || index >= FieldCount())
        return null;
    const auto& row = rows_[pos_];
    return static_cast<size_t>(index) < row.size() ? row[static_cast<size_t>(index)] : null;
}

void ServerRecordset::MoveNext() {
    if (pos_ < rows_.size())
        ++pos_;
    if (pos_ >= rows_.size() && !done_) {
        if (forwardOnly_) {
            // Every row held has been passed: hand their memory back before the next block.
            passed_ += rows_.size();
            rows_.clear();
            pos_ = 0;
        }
        OdbcError error;
        // A failure part-way (a broken link, a timeout, an error inside the result) ends the
        // rows; it is logged like any other failed call and raised, so no reader mistakes the
        // rows it has seen for the whole result.
        if (!FetchBlock(error)) {
            WriteLogLine("Error " + std::to_string(error.number) + ": " + error.description);
            throw RecordsetError(error.number, error.description);
        }
    }
}

int64_t ServerRecordset::RecordCount() const {
    return done_ ? static_cast<int64_t>(passed_ + rows_.size()) : -1;
}

void ServerRecordset::Close() {
    if (!open_ && !connection_)
        return;
    open_ = false;
    statement_.reset();
    // A connection closed in the middle of a result may still have rows in flight.
    ReleaseConnection(std::move(connection_), !failed_ && done_);
}

} // namespace orv
