// The pair of generated databases the whole-database benchmarks compare: a production shape
// (tables, procedures, views, functions, triggers) with 1% of the objects changed and 0.5% on
// one side only.
#pragma once

#include <fstream>
#include <string>

namespace bench {

struct Shape {
    int procedures = 20000, tables = 2000, views = 1000, functions = 1000, triggers = 500;
};

// Which objects differ between the sides: every 100th is changed, every 200th (offset 1) lives
// only in the source and (offset 101) only in the target.
inline bool Changed(int i) {
    return i % 100 == 50;
}
inline bool Present(int i, bool target) {
    return i % 200 != (target ? 1 : 101);
}

inline void WriteDatabase(const std::string& path, const std::string& db, const Shape& s,
                          bool target) {
    std::ofstream out(path);
    out << "CREATE DATABASE " << db << "\nGO\nUSE " << db << "\nGO\n";
    for (int t = 0; t < s.tables; ++t) {
        if (!Present(t, target))
            continue;
        out << "CREATE TABLE dbo.T" << t << " (\n    Id int IDENTITY(1,1) NOT NULL,\n";
        for (int c = 1; c < 10; ++c)
            out << "    C" << c << " " << (c % 3 == 0 ? "nvarchar(40)" : "int") << " NULL,\n";
        if (target && Changed(t))
            out << "    Extra int NULL,\n";
        out << "    CONSTRAINT PK_T" << t << " PRIMARY KEY CLUSTERED (Id)\n)\nGO\n";
    }
    for (int p = 0; p < s.procedures; ++p) {
        if (!Present(p, target))
            continue;
        out << "CREATE PROCEDURE dbo.P" << p << " @id int\nAS\n-- Procedure " << p
            << " of the generated catalog.\nSET NOCOUNT ON\n";
        for (int l = 0; l < 20; ++l)
            out << "SELECT C" << (l % 9 + 1) << ", C" << ((l + 3) % 9 + 1) << " FROM dbo.T"
                << (p + l) % s.tables << " WHERE Id = @id + " << l << "\n";
        out << (target && Changed(p) ? "RETURN 1\n" : "RETURN 0\n") << "GO\n";
    }
    for (int v = 0; v < s.views; ++v) {
        if (!Present(v, target))
            continue;
        out << "CREATE VIEW dbo.V" << v << "\nAS\nSELECT Id, C1, C2"
            << (target && Changed(v) ? ", C3" : "") << " FROM dbo.T" << v % s.tables << "\nGO\n";
    }
    for (int f = 0; f < s.functions; ++f) {
        if (!Present(f, target))
            continue;
        out << "CREATE FUNCTION dbo.F" << f << " (@x int) RETURNS int\nAS\nBEGIN\n    RETURN @x + "
            << (target && Changed(f) ? f + 1 : f) << "\nEND\nGO\n";
    }
    for (int r = 0; r < s.triggers; ++r) {
        if (!Present(r, target) || !Present(r % s.tables, false) || !Present(r % s.tables, true))
            continue;
        out << "CREATE TRIGGER dbo.TR" << r << " ON dbo.T" << r % s.tables
            << " FOR INSERT\nAS\nSELECT " << (target && Changed(r) ? 2 : 1) << " AS fired\nGO\n";
    }
}

} // namespace bench
