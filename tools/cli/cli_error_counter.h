// Counts the unexpected errors reported while a command runs and shows each on standard error,
// so a command that met one can fail instead of printing a result as if all went well.
#pragma once

#include "core/error_report.h"
#include "util/text.h"

#include <iostream>

namespace orv {

class ErrorCounter {
public:
    ErrorCounter() {
        SetErrorReportHandler([this](const ErrorReport& report) {
            ++count;
            std::cerr << ReplaceAll(ErrorReportText(report), "\r\n", "\n") << '\n';
        });
    }
    ~ErrorCounter() { SetErrorReportHandler(nullptr); }
    ErrorCounter(const ErrorCounter&) = delete;
    ErrorCounter& operator=(const ErrorCounter&) = delete;
    int count = 0;
};

} // namespace orv
