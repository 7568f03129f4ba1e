#include "catalog/catalog_error.h"

#include "core/error_report.h"
#include "servers/exec_ado_cmd.h"

#include <exception>

namespace orv {

void RequireOpen(const Recordset* recordset) {
    if (recordset == nullptr || !recordset->IsOpen()) {
        if (const CommandFailureWatch* watch = CommandFailureWatch::Active();
            watch && watch->Failed())
            throw CommandFailed(watch->ErrorNumber(), watch->ErrorDescription());
    }
    if (recordset == nullptr)
        throw CatalogError(kErrObjectNotSet, "Object variable or With block variable not set");
    if (!recordset->IsOpen())
        throw CatalogError(kErrRecordsetClosed,
                           "Operation is not allowed when the object is closed.");
}

CaughtError CurrentError() {
    try {
        throw;
    } catch (const CatalogError& e) {
        return {e.Number(), e.what()};
    } catch (const RecordsetError& e) {
        return {e.Number(), e.what()};
    } catch (const std::bad_alloc&) {
        return {7, "Out of memory"};
    } catch (const std::exception& e) {
        return {5, e.what()};
    } catch (...) {
        return {5, "Unknown error"};
    }
}

void PassOnCommandFailure() {
    try {
        throw;
    } catch (const CommandFailed&) {
        throw;
    } catch (...) {
    }
}

void ReportCurrentError(const std::string& moduleName, const std::string& procName,
                        const std::string& extraDesc) {
    PassOnCommandFailure();
    const CaughtError e = CurrentError();
    ReportUnexpected(e.number, e.description, moduleName, procName, extraDesc);
}

QuietErrorsScope::QuietErrorsScope() : saved_(QuietConnectionErrors) {
    QuietConnectionErrors = true;
}

QuietErrorsScope::~QuietErrorsScope() {
    QuietConnectionErrors = saved_;
}

} // namespace orv
