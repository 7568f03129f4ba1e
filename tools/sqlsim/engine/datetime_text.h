// Text to datetime and back, the way SQL Server reads the strings a client writes for a
// datetime or smalldatetime value and the CONVERT styles it writes them out in.
#pragma once

#include <optional>
#include <string>

namespace sqlsim {

// SET DATEFORMAT: the order of month, day and year in a numeric date such as 7/4/1996.
enum class DateOrder { Mdy, Dmy, Ymd, Ydm, Myd, Dym };

std::optional<DateOrder> dateOrderFromName(const std::string& name);

// The date and time types: the two of every version, and the four that came with 2008.
enum class DateKind { DateTime, SmallDateTime, Date, Time, DateTime2, DateTimeOffset };

struct DateConversion {
    enum class Status { Ok, Invalid, OutOfRange } status = Status::Invalid;
    // The stored form, which is also the text SQL Server gives the value: datetime
    // "YYYY-MM-DD hh:mm:ss.fff"; date "YYYY-MM-DD"; time(n) "hh:mm:ss[.n digits]";
    // datetime2(n) "YYYY-MM-DD hh:mm:ss[.n digits]"; datetimeoffset(n) the same and " +hh:mm".
    std::string canonical;
};

// Reads a datetime string in any of the forms SQL Server accepts and rounds it as the target
// type stores it (datetime: to 1/300 second; smalldatetime: to the minute; time, datetime2 and
// datetimeoffset: to `scale` fractional digits, 0 to 7).
DateConversion parseDateTimeText(const std::string& text, DateOrder order,
                                 DateKind kind = DateKind::DateTime, int scale = 7);

// The kind of a type name ("datetime2", "date", ...); nullopt for any other type.
std::optional<DateKind> dateKindOf(const std::string& typeName);
// True for the four types that came with 2008, which take up to seven fractional digits, read
// years from 0001, and refuse a bad or impossible date alike with 241.
bool isLaterDateKind(DateKind kind);
// SYSDATETIME, SYSUTCDATETIME and SYSDATETIMEOFFSET: now as datetime2(7) or datetimeoffset(7).
std::string nowDateTime2(bool utc);
std::string nowDateTimeOffset();

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
