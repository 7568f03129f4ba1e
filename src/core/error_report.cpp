#include "core/error_report.h"

#include "core/program_info.h"
#include "core/registry.h"
#include "core/settings.h"
#include "util/text.h"

#include <cstdio>

namespace orv {

namespace {
ErrorReportHandler& Handler() {
    static ErrorReportHandler handler;
    return handler;
}
constexpr const char* kDefaultSite = "https://www.brackwater-software.example";
} // namespace

void SetErrorReportHandler(ErrorReportHandler handler) {
    Handler() = std::move(handler);
}

void ReportError(int32_t errNum, const std::string& errDesc, const std::string& progVer,
                 int32_t buildNum, const std::string& moduleName, const std::string& procName,
                 const std::string& extraDesc) {
    ErrorReport r{errNum, errDesc, progVer, buildNum, moduleName, procName, extraDesc};
    if (Handler()) {
        Handler()(r);
        return;
    }
    std::fprintf(stderr, "%s\n", ErrorReportText(r).c_str());
}

void ReportUnexpected(int32_t errNum, const std::string& errDesc, const std::string& moduleName,
                      const std::string& procName, const std::string& extraDesc) {
    ReportError(errNum, errDesc, kProgramVersion, kBuildNumber, moduleName, procName, extraDesc);
}

std::string ErrorReportText(const ErrorReport& r) {
    std::string text = r.ProgVer + " " + std::to_string(r.BuildNum) + " Error " +
                       std::to_string(r.ErrNum) + " (" + r.ModuleName + ":" + r.ProcName + ")" +
                       "\r\n\r\n" + r.ErrDesc;
    if (!r.ExtraDesc.empty())
        text += "\r\n\r\n" + r.ExtraDesc;
    return text;
}

std::string FormEncode(const std::string& value) {
    std::string out;
    for (unsigned char c : value) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            AppendHexByte(out, c);
        }
    }
    return out;
}

std::string ErrorReportUrl(const std::string& site, const ErrorReport& r,
                           const std::string& comments, const std::string& email) {
    std::string base = site;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + "/error.php?ErrNum=" + FormEncode(std::to_string(r.ErrNum)) +
           "&ErrDesc=" + FormEncode(r.ErrDesc) + "&ProgVer=" + FormEncode(r.ProgVer) +
           "&BuildNum=" + FormEncode(std::to_string(r.BuildNum)) +
           "&ModuleName=" + FormEncode(r.ModuleName) + "&ProcName=" + FormEncode(r.ProcName) +
           "&Comments=" + FormEncode(Trim(comments)) + "&Email=" + FormEncode(Trim(email)) +
           "&ExtraDesc=" + FormEncode(r.ExtraDesc);
}

std::string ErrorReportSite() {
    return GetRegString(HKEY_CURRENT_USER, kKeyMav, "ErrorReportSite", kDefaultSite);
}

} // namespace orv
