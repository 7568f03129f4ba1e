// Unexpected failures inside the catalog travel as CatalogError to the handler of the operation
// that owns them, which reports them with its module and procedure names. Reading a record set
// that a failed query never opened is the usual cause.
#pragma once

#include "servers/recordset.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orv {

// The classic run-time error numbers the handlers report.
constexpr int32_t kErrObjectNotSet = 91;
constexpr int32_t kErrRecordsetClosed = 3704;
// The provider's "invalid object name" error, as a signed HRESULT.
constexpr int32_t kErrInvalidObjectName = static_cast<int32_t>(0x80040E37u);

class CatalogError : public std::runtime_error {
public:
    CatalogError(int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int32_t Number() const { return number_; }

private:
    int32_t number_;
};

// A read of what a failed command did not give, while a CommandFailureWatch runs: the command's
// failure is expected and belongs to the operation that watches, which tells the user once.
// Handlers on the way pass it on (ReportCurrentError does) instead of reporting it.
class CommandFailed : public CatalogError {
public:
    using CatalogError::CatalogError;
};

// Throws the error a read of a missing (91) or unopened (3704) record set raises; CommandFailed
// instead when the watched command that should have opened it failed.
void RequireOpen(const Recordset* recordset);
inline void RequireOpen(const RecordsetPtr& recordset) {
    RequireOpen(recordset.get());
}

// The number and description of whatever a handler caught.
struct CaughtError {
    int32_t number = 0;
    std::string description;
};
// Call only inside a catch block: classifies the exception being handled.
CaughtError CurrentError();

// Call only inside a catch block: rethrows a CommandFailed, which is not the handler's to report.
void PassOnCommandFailure();

// Reports the exception being handled (call only inside a catch block); a CommandFailed is
// passed on instead.
void ReportCurrentError(const std::string& moduleName, const std::string& procName,
                        const std::string& extraDesc = "");

// Restores QuietConnectionErrors on every way out of the scope that set it.
class QuietErrorsScope {
public:
    QuietErrorsScope();
    ~QuietErrorsScope();
    QuietErrorsScope(const QuietErrorsScope&) = delete;
    QuietErrorsScope& operator=(const QuietErrorsScope&) = delete;

private:
    bool saved_;
};

} // namespace orv
