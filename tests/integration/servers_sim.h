// One simulator for a whole suite of connection-layer tests (starting it per test would cost
// more than the tests), plus each test's private registry, paths and prompter.
#pragma once

#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <memory>

namespace orv::test {

// A shop database with a dozen rows of every kind of value the catalog reads.
inline const char* kShopScript = R"(CREATE DATABASE Shop
GO
USE Shop
GO
CREATE TABLE Items (Id int NOT NULL, Name nvarchar(40) NULL, Price decimal(10,2) NULL,
  Added datetime NULL, Active bit NULL, Raw varbinary(8) NULL, Ratio float NULL)
GO
INSERT INTO Items VALUES (1, N'Zürich €', 12.50, '2024-03-05 14:07:09.123', 1, 0x00FF10, 0.25)
INSERT INTO Items VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL)
INSERT INTO Items VALUES (3, N'c', 3.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (4, N'd', 4.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (5, N'e', 5.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (6, N'f', 6.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (7, N'g', 7.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (8, N'h', 8.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (9, N'i', 9.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (10, N'j', 10.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (11, N'k', 11.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
INSERT INTO Items VALUES (12, N'l', 12.00, '2024-01-01 00:00:00.000', 0, 0x01, 1.5)
GO
)";

// A second login whose password holds every character a connection string could trip on.
inline const char* kOddLogin = "odd";
inline const char* kOddPassword = "p;w}d{=x}";

class ServersSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SqlsimOptions o;
        o.extraLogins = {std::string(kOddLogin) + ":" + kOddPassword};
        o.scriptTexts = {kShopScript};
        sim_ = std::make_unique<SqlsimProcess>(o);
        std::string error;
        if (!sim_->Start(error))
            startError_ = error;
    }
    static void TearDownTestSuite() {
        DropIdleConnections();
        sim_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(startError_.empty()) << startError_;
        SetConnectionReuse(true);
        DropIdleConnections();
        QuietConnectionErrors = false;
        sim_->ClearStatements();
    }
    void TearDown() override {
        DropIdleConnections();
        QuietConnectionErrors = false;
    }

    static ServerEntry Sa(const std::string& password = "Sim#Pass1") {
        ServerEntry e;
        e.Name = sim_->ServerName();
        e.SQLAuth = true;
        e.LoginName = "sa";
        e.Pwd = password;
        return e;
    }

    // Runs one command and keeps what came back.
    struct Call {
        int32_t result = 0;
        RecordsetPtr rs;
        int32_t errNumber = 0;
        std::string errDescription;
    };
    static Call Exec(const ServerEntry& server, const std::string& sql,
                     const std::string& database) {
        Call c;
        c.result =
            ExecAdoCmd(server, kAdCmdText, sql, c.rs, database, c.errNumber, c.errDescription);
        return c;
    }

    static inline std::unique_ptr<SqlsimProcess> sim_;
    static inline std::string startError_;
    TestEnv env;
};

} // namespace orv::test
