// A long maintenance procedure as people keep them on real servers: hundreds of numbered steps,
// each a comment, a guard, a BEGIN ... END with an UPDATE or DELETE, a row count and a PRINT,
// so many lines ("BEGIN", "END", blank lines, SET lines) repeat all through the text. Used by
// the marking tests and the marking benchmark.
#pragma once

#include <string>
#include <vector>

namespace orv::test {

// One step of the procedure; `tag` makes the step's own lines unique ("41", "41a").
inline void AppendMaintenanceStep(std::vector<std::string>& out, const std::string& tag,
                                  int table) {
    const std::string t = "dbo.Ledger" + std::to_string(table % 37);
    out.push_back("    -- Step " + tag + ": settle the open entries of " + t);
    out.push_back("    IF EXISTS (SELECT 1 FROM " + t + " WHERE Status = 'OPEN')");
    out.push_back("    BEGIN");
    out.push_back("        BEGIN TRANSACTION;");
    out.push_back("        UPDATE " + t);
    out.push_back("        SET Status = 'SETTLED',");
    out.push_back("            SettledAt = GETDATE(),");
    out.push_back("            SettledBy = SUSER_SNAME()");
    out.push_back("        WHERE Status = 'OPEN'");
    out.push_back("          AND PostedAt < DATEADD(day, -" + std::to_string(table % 11 + 1) +
                  ", @RunDate);");
    out.push_back("        SET @Rows = @@ROWCOUNT;");
    out.push_back("        IF @@ERROR <> 0");
    out.push_back("        BEGIN");
    out.push_back("            ROLLBACK TRANSACTION;");
    out.push_back("            RETURN 1;");
    out.push_back("        END");
    out.push_back("        COMMIT TRANSACTION;");
    out.push_back("        SET @Total = @Total + @Rows;");
    out.push_back("    END");
    out.push_back("    PRINT 'Step " + tag + " done';");
    out.push_back("");
}

// About `lines` lines: a header, whole steps, a footer.
inline std::vector<std::string> MaintenanceProcedure(int lines) {
    std::vector<std::string> out = {
        "CREATE PROCEDURE dbo.usp_NightlyLedgerMaintenance",
        "    @RunDate datetime",
        "AS",
        "BEGIN",
        "    SET NOCOUNT ON;",
        "    DECLARE @Rows int, @Total int;",
        "    SET @Total = 0;",
        "",
    };
    for (int step = 1; static_cast<int>(out.size()) + 25 < lines; ++step)
        AppendMaintenanceStep(out, std::to_string(step), step);
    while (static_cast<int>(out.size()) < lines - 3)
        out.push_back("    -- (reserved)");
    out.push_back("    PRINT 'Settled ' + CAST(@Total AS varchar(12)) + ' entries';");
    out.push_back("    RETURN 0;");
    out.push_back("END");
    return out;
}

// The procedure with a new step of `count` lines put in before the step that starts at line
// index `before` or after it; the index of the first inserted line is returned in `at`.
inline std::vector<std::string> WithInsertedStep(const std::vector<std::string>& procedure,
                                                 int before, int count, size_t& at) {
    // The first line of a step at or after `before`.
    size_t i = static_cast<size_t>(before);
    while (i < procedure.size() && procedure[i].rfind("    -- Step ", 0) != 0)
        ++i;
    std::vector<std::string> block;
    block.push_back("    -- Step 0a: archive the settled entries before they are purged");
    int n = 0;
    while (static_cast<int>(block.size()) < count - 1) {
        block.push_back("    INSERT INTO archive.LedgerHistory (EntryId, Amount, SettledAt)");
        block.push_back("    SELECT EntryId, Amount, SettledAt FROM dbo.Ledger" +
                        std::to_string(n++) + " WHERE Status = 'SETTLED';");
        block.push_back("    SET @Rows = @@ROWCOUNT;");
        block.push_back("    SET @Total = @Total + @Rows;");
        block.push_back("");
    }
    block.resize(static_cast<size_t>(count - 1));
    block.push_back("    PRINT 'Archive done';");
    std::vector<std::string> out(procedure.begin(), procedure.begin() + static_cast<long>(i));
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), procedure.begin() + static_cast<long>(i), procedure.end());
    at = i;
    return out;
}

} // namespace orv::test
