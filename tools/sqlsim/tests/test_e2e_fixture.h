// The database the end-to-end tests load: a small table with NULLs and Unicode and a ten-row
// table whose cross joins make large results; separately, a table with every column type.
#pragma once

#include <string>

namespace sqlsim::e2e {

inline std::string shopScript() {
    std::string s = R"(CREATE DATABASE Shop
GO
USE Shop
GO
CREATE TABLE Customer (Id int NOT NULL PRIMARY KEY, Name nvarchar(40) NULL, City varchar(30) NULL)
GO
INSERT INTO Customer (Id, Name, City) VALUES (1, N'Zoë Ünal', 'Köln')
INSERT INTO Customer (Id, Name, City) VALUES (2, NULL, NULL)
INSERT INTO Customer (Id, Name, City) VALUES (3, N'日本語 ☃', 'Paris')
GO
CREATE TABLE Ten (n int NOT NULL)
GO
)";
    for (int i = 0; i < 10; ++i)
        s += "INSERT INTO Ten (n) VALUES (" + std::to_string(i) + ")\n";
    s += "GO\n";
    return s;
}

// One row holding a value of every column type, and one of NULLs only.
inline std::string typesScript() {
    return shopScript() + R"(USE Shop
GO
CREATE TABLE AllTypes (
    c_tinyint tinyint NULL, c_smallint smallint NULL, c_int int NULL, c_bigint bigint NULL,
    c_bit bit NULL, c_real real NULL, c_float float NULL, c_decimal decimal(10,2) NULL,
    c_numeric numeric(18,4) NULL, c_money money NULL, c_smallmoney smallmoney NULL,
    c_datetime datetime NULL, c_smalldatetime smalldatetime NULL, c_char char(5) NULL,
    c_varchar varchar(20) NULL, c_nchar nchar(5) NULL, c_nvarchar nvarchar(20) NULL,
    c_nvarcharmax nvarchar(max) NULL, c_varcharmax varchar(max) NULL, c_text text NULL,
    c_ntext ntext NULL, c_image image NULL, c_binary binary(4) NULL,
    c_varbinary varbinary(10) NULL, c_varbinarymax varbinary(max) NULL,
    c_guid uniqueidentifier NULL)
GO
INSERT INTO AllTypes VALUES (255, -32768, 2147483647, 9223372036854775807, 1, 1.5, 2.25,
    12345678.91, -1234567890.5678, 922337203685477.5807, -214748.3648,
    '2010-06-15 13:45:30.997', '2010-06-15 13:45:00', 'ab', 'Grüße', N'ü', N'Ωmega',
    N'long ☃ text', 'long text', 'text value', N'ntext ☃', 0x0102, 0xDEADBEEF, 0x00FF, 0xCAFE,
    '6F9619FF-8B86-D011-B42D-00C04FC964FF')
INSERT INTO AllTypes (c_int) VALUES (NULL)
GO
)";
}

// One million rows from six copies of Ten.
inline const char* kMillionRows =
    "SELECT a.n, b.n, c.n, d.n, e.n, f.n FROM Ten a CROSS JOIN Ten b CROSS JOIN Ten c "
    "CROSS JOIN Ten d CROSS JOIN Ten e CROSS JOIN Ten f";

} // namespace sqlsim::e2e
