// The one way unexpected errors reach the user: ReportError hands the details to the error
// report window (installed by the user interface) and returns when the user has closed it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orv {

struct ErrorReport {
    int32_t ErrNum = 0;
    std::string ErrDesc;
    std::string ProgVer;
    int32_t BuildNum = 0;
    std::string ModuleName;
    std::string ProcName;
    std::string ExtraDesc;
};

using ErrorReportHandler = std::function<void(const ErrorReport&)>;

// Installs the window that shows reports; without one, reports go to standard error.
void SetErrorReportHandler(ErrorReportHandler handler);

void ReportError(int32_t errNum, const std::string& errDesc, const std::string& progVer,
                 int32_t buildNum, const std::string& moduleName, const std::string& procName,
                 const std::string& extraDesc = "");
// The common handler convention: this program's version and build number.
void ReportUnexpected(int32_t errNum, const std::string& errDesc, const std::string& moduleName,
                      const std::string& procName, const std::string& extraDesc = "");

// The error text box: "1.0 173 Error 5 (mdlMain:Main)", blank line, description, and the extra
// description after another blank line when there is one. CR LF line breaks.
std::string ErrorReportText(const ErrorReport& report);

// The report address: site + "/error.php?ErrNum=...&...&ExtraDesc=...". Every value is
// form-encoded (blank -> "+", anything but letters, digits and "-_.~" -> %XX of its UTF-8 bytes),
// so "&" and "=" inside a value arrive whole.
std::string ErrorReportUrl(const std::string& site, const ErrorReport& report,
                           const std::string& comments, const std::string& email);
std::string FormEncode(const std::string& value);

// The site the report goes to: the string setting ErrorReportSite under Software\MAV.
std::string ErrorReportSite();

} // namespace orv
