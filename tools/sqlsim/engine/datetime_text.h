// Text to datetime and back, the way SQL Server reads the strings a client writes for a
// datetime or smalldatetime value and the CONVERT styles it writes them out in.
#pragma once

#include <optional>
#include <string>

namespace sqlsim {

// SET DATEFORMAT: the order of month, day and year in a numeric date such as 7/4/1996.
enum class DateOrder { Mdy, Dmy, Ymd, Ydm, Myd, Dym };

std::optional<DateOrder> dateOrderFromName(const std::string& name);

enum class DateKind { DateTime, SmallDateTime };

struct DateConversion {
    enum class Status { Ok, Invalid, OutOfRange } status = Status::Invalid;
    std::string canonical; // "YYYY-MM-DD hh:mm:ss.fff" when Ok
};

// Reads a datetime string in any of the forms SQL Server accepts and rounds it as the target
// type stores it (datetime: to 1/300 second; smalldatetime: to the minute).
DateConversion parseDateTimeText(const std::string& text, DateOrder order,
                                 DateKind kind = DateKind::DateTime);

// True for text already in the stored form, which most reads and writes meet.
bool isCanonicalDateTime(const std::string& text);

// A stored datetime in a CONVERT style (101, 103, 112, 120, 121, 126, ...); nullopt for a
// style this server does not know.
std::optional<std::string> formatDateStyle(const std::string& canonical, int style);

// The messages for a string that is no date (241) and one out of range (242), in the wording
// of the server's major version.
std::string dateSyntaxMessage(int major);
std::string dateRangeMessage(int major, DateKind kind, bool unicode);

} // namespace sqlsim
