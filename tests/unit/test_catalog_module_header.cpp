// The name a module's text creates, found past comments and blanks, and the current name put
// in its place only when the text names another object (a module renamed with sp_rename).
#include "catalog/module_header.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(ModuleHeaderName, FoundInTheShapesScriptsWriteIt) {
    struct Case {
        const char* text;
        const char* written; // nullptr: no header
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {"CREATE PROCEDURE dbo.usp_Totals AS SELECT 1", "dbo.usp_Totals", {"dbo", "usp_Totals"}},
        {"create proc usp_Totals;2 as select 2", "usp_Totals", {"usp_Totals"}},
        {"-- totals by month\r\n/* first /* nested */ still comment */\r\nCREATE\tVIEW "
         "[sales].[Monthly Totals]\r\nAS SELECT 1 AS one",
         "[sales].[Monthly Totals]",
         {"sales", "Monthly Totals"}},
        {"CREATE FUNCTION \"dbo\" . \"fn]x\"() RETURNS int AS BEGIN RETURN 1 END",
         "\"dbo\" . \"fn]x\"",
         {"dbo", "fn]x"}},
        {"CREATE TRIGGER [dbo].[trg]]Audit] ON dbo.Orders FOR INSERT AS RETURN",
         "[dbo].[trg]]Audit]",
         {"dbo", "trg]Audit"}},
        {"CREATE OR ALTER PROCEDURE dbo.p AS RETURN", "dbo.p", {"dbo", "p"}},
        {"ALTER VIEW v AS SELECT 1 AS one", "v", {"v"}},
        {"CREATE TABLE dbo.t (a int)", nullptr, {}},
        {"SELECT 1", nullptr, {}},
        {"CREATE PROCEDURE [dbo].[unclosed AS SELECT 1", nullptr, {}},
        {"", nullptr, {}},
    };
    for (const Case& c : cases) {
        const ModuleHeaderName h = FindModuleHeaderName(c.text);
        EXPECT_EQ(h.Found, c.written != nullptr) << c.text;
        if (!c.written)
            continue;
        EXPECT_EQ(h.Written, c.written) << c.text;
        EXPECT_EQ(std::string(c.text).substr(h.Begin, h.End - h.Begin), c.written) << c.text;
        EXPECT_EQ(h.Parts, c.parts) << c.text;
    }
}

TEST(ModuleHeaderName, OnlyATextNamingAnotherObjectGetsTheCurrentName) {
    const std::string renamed = "-- old\r\nCREATE PROCEDURE dbo.usp_Old\r\nAS SELECT 'dbo.usp_Old'";
    // The name in the header alone changes; the rest, the same name in a string included,
    // stays byte for byte.
    EXPECT_EQ(WithCurrentName(renamed, "[dbo].[usp_New]"),
              "-- old\r\nCREATE PROCEDURE [dbo].[usp_New]\r\nAS SELECT 'dbo.usp_Old'");
    // Moved to another schema (ALTER SCHEMA ... TRANSFER keeps the text too).
    EXPECT_EQ(WithCurrentName("CREATE VIEW dbo.v AS SELECT 1", "[sales].[v]"),
              "CREATE VIEW [sales].[v] AS SELECT 1");
    // A case-only rename is a rename: the text would create the old spelling.
    EXPECT_EQ(WithCurrentName("CREATE VIEW dbo.orders_v AS SELECT 1", "[dbo].[Orders_v]"),
              "CREATE VIEW [dbo].[Orders_v] AS SELECT 1");
    // Texts that name the object itself are left alone, however they spell it.
    for (const char* same : {"CREATE VIEW dbo.v AS SELECT 1", "CREATE VIEW [DBO].[v] AS SELECT 1",
                             "CREATE VIEW v AS SELECT 1", "CREATE VIEW \"dbo\".\"v\" AS SELECT 1"})
        EXPECT_EQ(WithCurrentName(same, "[dbo].[v]"), same);
    // A current name without its schema (as the CREATE script of a listed name has it)
    // compares the object's own name alone.
    EXPECT_EQ(WithCurrentName("CREATE FUNCTION dbo.fnTotal () RETURNS int", "[fnTotal]"),
              "CREATE FUNCTION dbo.fnTotal () RETURNS int");
    EXPECT_EQ(WithCurrentName("CREATE FUNCTION dbo.fnOld () RETURNS int", "[fnTotal]"),
              "CREATE FUNCTION [fnTotal] () RETURNS int");
    // A "]" inside a name, doubled in brackets, is one character of it.
    EXPECT_EQ(WithCurrentName("CREATE PROCEDURE dbo.[usp.odd]]name] AS SELECT 1",
                              "[dbo].[usp.odd]]name]"),
              "CREATE PROCEDURE dbo.[usp.odd]]name] AS SELECT 1");
    // No header, nothing to put a name in.
    EXPECT_EQ(WithCurrentName("SELECT 1", "[dbo].[v]"), "SELECT 1");
    const ModuleHeaderName header = FindModuleHeaderName(renamed);
    EXPECT_TRUE(NamesAnotherObject(header, "dbo", "usp_New"));
    EXPECT_FALSE(NamesAnotherObject(header, "DBO", "usp_Old"));
}

} // namespace
} // namespace orv
