#include "deploy_pair_generator.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <random>

namespace orv::test {

// What a column's values look like; every value is a function of the row and the column's
// name, so both sides of a pair hold the same values in the columns they share.
enum class Values { Int, Text, Money, Date, Bit, Ref };

struct GColumn {
    std::string Name, Type;
    Values Kind = Values::Int;
    bool Nullable = true;
    std::string Default;
    std::string DefaultName; // empty: the server names it
    bool Identity = false;
};

struct GIndex {
    std::string Name;
    std::vector<std::string> Columns;
    bool Unique = false;
    bool Descending = false;
};

struct GForeignKey {
    std::string Name, Column, RefSchema, RefTable;
    bool Cascade = false;
};

struct GTable {
    std::string Schema = "dbo", Name;
    std::vector<GColumn> Columns;
    std::string KeyName;         // empty: the server names the primary key
    std::vector<GIndex> Uniques; // UNIQUE constraints
    std::vector<GIndex> Indexes; // CREATE INDEX
    std::vector<std::pair<std::string, std::string>> Checks; // name, condition
    std::vector<GForeignKey> Keys;
    int Rows = 4;
};

struct GModule {
    std::string Schema = "dbo", Name, Text;
};

struct GeneratedPair::Schema {
    std::vector<std::string> Schemas;
    std::vector<GTable> Tables;
    std::vector<GModule> Modules;
    // Run after everything is created and filled: the structures above describe the objects
    // as created, these rename them in place.
    std::vector<std::string> After;
    std::vector<GeneratedPair::RenamedColumn> RenamedColumns;

    GTable* Table(const std::string& name) {
        for (GTable& t : Tables)
            if (t.Name == name)
                return &t;
        return nullptr;
    }
    GModule* Module(const std::string& name) {
        for (GModule& m : Modules)
            if (m.Name == name)
                return &m;
        return nullptr;
    }
};

namespace {

using Schema = GeneratedPair::Schema;

std::string Q(const std::string& name) {
    std::string out = "[";
    for (char c : name)
        out += c == ']' ? std::string("]]") : std::string(1, c);
    return out + "]";
}

// N'text', apostrophes doubled.
std::string SqlText(const std::string& text) {
    std::string out = "N'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string Name2(const std::string& schema, const std::string& name) {
    return Q(schema) + "." + Q(name);
}

GColumn Col(std::string name, std::string type, Values kind, bool nullable, std::string def = "",
            std::string defName = "") {
    GColumn c;
    c.Name = std::move(name);
    c.Type = std::move(type);
    c.Kind = kind;
    c.Nullable = nullable;
    c.Default = std::move(def);
    c.DefaultName = std::move(defName);
    return c;
}

GColumn IdCol() {
    GColumn c = Col("Id", "int", Values::Int, false);
    c.Identity = true;
    return c;
}

// The value of a column in a row: distinct per row, short enough for the narrowest type either
// side gives the column, and within every CHECK the generator writes.
std::string Value(const GColumn& c, int row) {
    unsigned h = 0;
    for (char ch : c.Name)
        h = h * 31 + static_cast<unsigned char>(ch);
    switch (c.Kind) {
    case Values::Int:
        return std::to_string(row * 10 + static_cast<int>(h % 10));
    case Values::Text:
        return "'" + std::string(1, static_cast<char>('a' + h % 26)) + std::to_string(row) + "'";
    case Values::Money:
        return std::to_string(row) + "." + std::to_string(10 + h % 90);
    case Values::Date:
        return "'2024010" + std::to_string(row % 9 + 1) + "'";
    case Values::Bit:
        return std::to_string(row % 2);
    case Values::Ref:
        return std::to_string((row - 1) % 3 + 1);
    }
    return "NULL";
}

Schema BaseSchema(std::mt19937& rng, bool later) {
    auto coin = [&] { return rng() % 2 == 0; };
    Schema s;
    GTable customers;
    customers.Name = "Customers";
    customers.KeyName = coin() ? "PK_Customers" : "";
    customers.Columns = {IdCol(), Col("Name", "varchar(30)", Values::Text, false),
                         Col("City", "nvarchar(20)", Values::Text, true),
                         Col("Credit", "decimal(9,2)", Values::Money, true, "((0))",
                             coin() ? "DF_Customers_Credit" : ""),
                         Col("Joined", "datetime", Values::Date, true)};
    customers.Indexes = {{"IX_Customers_City", {"City"}, false, coin()}};
    GTable products;
    products.Name = "Products";
    products.KeyName = "PK_Products";
    products.Columns = {IdCol(), Col("Code", "char(6)", Values::Text, false),
                        Col("Title", "varchar(40)", Values::Text, true),
                        Col("Price", "decimal(8,2)", Values::Money, false),
                        Col("Active", "bit", Values::Bit, false, "((1))", "DF_Products_Active")};
    products.Uniques = {{"UQ_Products_Code", {"Code"}, true, false}};
    products.Checks = {{"CK_Products_Price", "([Price]>=(0))"}};
    GTable orders;
    orders.Name = "Orders";
    orders.KeyName = coin() ? "PK_Orders" : "";
    orders.Columns = {IdCol(), Col("CustomerId", "int", Values::Ref, false),
                      Col("Placed", "datetime", Values::Date, false),
                      Col("Total", "decimal(10,2)", Values::Money, true),
                      Col("Notes", "varchar(50)", Values::Text, true)};
    orders.Indexes = {{"IX_Orders_Customer", {"CustomerId"}, false, false}};
    orders.Keys = {{"FK_Orders_Customers", "CustomerId", "dbo", "Customers", false}};
    GTable details;
    details.Name = "Order Details";
    details.KeyName = "PK_Order Details";
    details.Columns = {IdCol(), Col("OrderId", "int", Values::Ref, false),
                       Col("ProductId", "int", Values::Ref, false),
                       Col("Qty", "smallint", Values::Int, false, "((1))"),
                       Col("Unit Price", "decimal(8,2)", Values::Money, true)};
    details.Checks = {{"CK_Order Details_Qty", "([Qty]>(0))"}};
    details.Keys = {{"FK_Details_Orders", "OrderId", "dbo", "Orders", coin()}};
    GTable dotted;
    dotted.Name = "dot.ted";
    dotted.KeyName = "PK_dot.ted";
    dotted.Columns = {IdCol(), Col("brack]et", "varchar(10)", Values::Text, true),
                      Col("Seq", "int", Values::Int, true)};
    s.Tables = {customers, products, orders, details, dotted};
    if (later) {
        s.Schemas = {"sales"};
        GTable regions;
        regions.Schema = "sales";
        regions.Name = "Regions";
        regions.KeyName = "PK_Regions";
        regions.Columns = {IdCol(), Col("Name", "nvarchar(30)", Values::Text, false)};
        s.Tables.push_back(regions);
    }
    s.Modules = {
        {"dbo", "vCustomerOrders",
         "CREATE VIEW dbo.vCustomerOrders\r\nAS\r\nSELECT c.Id, c.Name, o.Total\r\nFROM "
         "dbo.Customers c JOIN dbo.Orders o ON o.CustomerId = c.Id\r\n"},
        {"dbo", "vBigOrders",
         "CREATE VIEW dbo.vBigOrders\r\nAS\r\nSELECT Id, Name FROM dbo.vCustomerOrders WHERE "
         "Total > 100\r\n"},
        {"dbo", "vProductList",
         "CREATE VIEW dbo.vProductList\r\nWITH SCHEMABINDING\r\nAS\r\nSELECT Id, Code, Title "
         "FROM dbo.Products\r\n"},
        {"dbo", "fnOrderCount",
         "CREATE FUNCTION dbo.fnOrderCount (@customer int)\r\nRETURNS int\r\nAS\r\nBEGIN\r\n"
         "    RETURN (SELECT COUNT(*) FROM dbo.Orders WHERE CustomerId = @customer)\r\nEND\r\n"},
        {"dbo", "fnCustomerOrders",
         "CREATE FUNCTION dbo.fnCustomerOrders (@customer int)\r\nRETURNS TABLE\r\nAS\r\nRETURN "
         "(SELECT Id, Total FROM dbo.Orders WHERE CustomerId = @customer)\r\n"},
        {"dbo", "fnRates",
         "CREATE FUNCTION dbo.fnRates (@code int)\r\nRETURNS decimal(5,2)\r\nAS\r\nBEGIN\r\n"
         "    RETURN @code * 1.5\r\nEND\r\n"},
        {"dbo", "uspCustomerList",
         "-- Lists the customers for the front desk.\r\nCREATE PROCEDURE dbo.uspCustomerList\r\n"
         "AS\r\nSET NOCOUNT ON\r\nSELECT Id, Name, City FROM dbo.Customers ORDER BY Name\r\n"},
        {"dbo", "usp.odd]name",
         "CREATE PROCEDURE dbo.[usp.odd]]name]\r\nAS\r\nSELECT 'odd' AS Word\r\n"},
        {"dbo", "uspOrderTotals",
         "CREATE PROCEDURE dbo.uspOrderTotals @customer int\r\nAS\r\nSELECT "
         "dbo.fnOrderCount(@customer) AS Orders\r\nSELECT * FROM dbo.vBigOrders\r\n"},
        {"dbo", "trOrders_Touch",
         "CREATE TRIGGER dbo.trOrders_Touch ON dbo.Orders\r\nAFTER UPDATE\r\nAS\r\nSET NOCOUNT "
         "ON\r\n"},
    };
    if (later)
        s.Modules.push_back({"sales", "uspRegions",
                             "CREATE PROCEDURE sales.uspRegions\r\nAS\r\nSELECT Id, Name FROM "
                             "sales.Regions\r\n"});
    return s;
}

std::string Render(const Schema& s, const std::string& database) {
    std::string out = "CREATE DATABASE " + Q(database) + "\nGO\nUSE " + Q(database) + "\nGO\n";
    for (const std::string& schema : s.Schemas)
        out += "CREATE SCHEMA " + Q(schema) + " AUTHORIZATION [dbo]\nGO\n";
    for (const GTable& t : s.Tables) {
        out += "CREATE TABLE " + Name2(t.Schema, t.Name) + " (\n";
        for (const GColumn& c : t.Columns) {
            out += "    " + Q(c.Name) + " " + c.Type;
            if (c.Identity)
                out += " IDENTITY(1,1)";
            out += c.Nullable ? " NULL" : " NOT NULL";
            if (!c.Default.empty())
                out += (c.DefaultName.empty() ? "" : " CONSTRAINT " + Q(c.DefaultName)) +
                       " DEFAULT " + c.Default;
            out += ",\n";
        }
        out += "    " + (t.KeyName.empty() ? "" : "CONSTRAINT " + Q(t.KeyName) + " ") +
               "PRIMARY KEY CLUSTERED ([Id])";
        for (const GIndex& u : t.Uniques)
            out +=
                ",\n    CONSTRAINT " + Q(u.Name) + " UNIQUE NONCLUSTERED (" + Q(u.Columns[0]) + ")";
        for (const auto& [name, condition] : t.Checks)
            out += ",\n    CONSTRAINT " + Q(name) + " CHECK " + condition;
        for (const GForeignKey& k : t.Keys)
            out += ",\n    CONSTRAINT " + Q(k.Name) + " FOREIGN KEY (" + Q(k.Column) +
                   ") REFERENCES " + Name2(k.RefSchema, k.RefTable) + " ([Id])" +
                   (k.Cascade ? " ON DELETE CASCADE" : "");
        out += "\n)\nGO\n";
        for (const GIndex& i : t.Indexes) {
            out += std::string("CREATE ") + (i.Unique ? "UNIQUE " : "") + "NONCLUSTERED INDEX " +
                   Q(i.Name) + " ON " + Name2(t.Schema, t.Name) + " (";
            for (size_t k = 0; k < i.Columns.size(); ++k)
                out += (k ? ", " : "") + Q(i.Columns[k]) + (i.Descending ? " DESC" : "");
            out += ")\nGO\n";
        }
    }
    for (const GTable& t : s.Tables) {
        for (int row = 1; row <= t.Rows; ++row) {
            std::string names, values;
            for (const GColumn& c : t.Columns) {
                if (c.Identity)
                    continue;
                names += (names.empty() ? "" : ", ") + Q(c.Name);
                values += (values.empty() ? "" : ", ") + Value(c, row);
            }
            out += "INSERT INTO " + Name2(t.Schema, t.Name) + " (" + names + ") VALUES (" + values +
                   ")\n";
        }
        out += "GO\n";
    }
    for (const GModule& m : s.Modules)
        out += m.Text + "GO\n";
    for (const std::string& statement : s.After)
        out += statement + "\nGO\n";
    return out;
}

using Mutation = std::function<std::string(Schema&, std::mt19937&)>;

GColumn* FindColumn(GTable& t, const std::string& name) {
    for (GColumn& c : t.Columns)
        if (c.Name == name)
            return &c;
    return nullptr;
}

std::vector<Mutation> Mutations(bool later) {
    std::vector<Mutation> m = {
        [](Schema& s, std::mt19937& rng) {
            GTable& t = s.Tables[rng() % s.Tables.size()];
            t.Columns.push_back(Col("Remark", "varchar(20)", Values::Text, true));
            return "add nullable column " + t.Name + ".Remark";
        },
        [](Schema& s, std::mt19937& rng) {
            GTable& t = s.Tables[rng() % s.Tables.size()];
            bool named = rng() % 2;
            t.Columns.push_back(Col("Flag", "int", Values::Int, false, "((0))",
                                    named ? "DF_" + t.Name + "_Flag" : ""));
            return "add NOT NULL column with default " + t.Name + ".Flag";
        },
        [](Schema& s, std::mt19937&) {
            if (GColumn* notes = FindColumn(*s.Table("Orders"), "Notes"))
                notes->Type = "varchar(80)";
            FindColumn(*s.Table("Order Details"), "Qty")->Type = "int";
            return std::string("widen Orders.Notes and [Order Details].Qty");
        },
        [](Schema& s, std::mt19937&) {
            FindColumn(*s.Table("Customers"), "City")->Nullable = false;
            return std::string("Customers.City becomes NOT NULL");
        },
        [](Schema& s, std::mt19937&) {
            FindColumn(*s.Table("Customers"), "Credit")->Default = "((100))";
            FindColumn(*s.Table("Orders"), "Total")->Default = "((0))";
            return std::string("change a default, add another");
        },
        [](Schema& s, std::mt19937&) {
            s.Table("Orders")->Checks.push_back({"CK_Orders_Total", "([Total]>=(0))"});
            s.Table("Products")->Checks.clear();
            return std::string("add a CHECK on Orders, drop the one on Products");
        },
        [](Schema& s, std::mt19937&) {
            s.Table("Customers")->Uniques.push_back({"UQ_Customers_Name", {"Name"}, true, false});
            s.Table("Products")->Uniques.clear();
            return std::string("add a UNIQUE on Customers.Name, drop Products' one");
        },
        [](Schema& s, std::mt19937& rng) {
            GTable& orders = *s.Table("Orders");
            orders.Indexes[0].Columns = {"CustomerId", "Placed"};
            s.Table("Customers")->Indexes.clear();
            s.Table("Products")
                ->Indexes.push_back({"IX_Products_Title", {"Title"}, false, rng() % 2 == 0});
            return std::string("change, drop and add an index");
        },
        [](Schema& s, std::mt19937&) {
            s.Table("Orders")->Keys.clear();
            s.Table("Order Details")
                ->Keys.push_back({"FK_Details_Products", "ProductId", "dbo", "Products", false});
            return std::string("drop a foreign key, add another");
        },
        [](Schema& s, std::mt19937&) {
            GModule* p = s.Module("uspCustomerList");
            p->Text = "-- Lists the customers for the front desk, by city.\r\nCREATE PROCEDURE "
                      "dbo.uspCustomerList\r\nAS\r\nSET NOCOUNT ON\r\nSELECT Id, Name, City FROM "
                      "dbo.Customers ORDER BY City, Name\r\n";
            s.Modules.push_back({"dbo", "uspNewReport",
                                 "CREATE PROCEDURE dbo.uspNewReport\r\nAS\r\nEXEC "
                                 "dbo.uspCustomerList\r\n"});
            s.Modules.erase(
                std::remove_if(s.Modules.begin(), s.Modules.end(),
                               [](const GModule& m) { return m.Name == "usp.odd]name"; }),
                s.Modules.end());
            return std::string("change a procedure, add one, drop [usp.odd]]name]");
        },
        [](Schema& s, std::mt19937&) {
            s.Module("vCustomerOrders")->Text =
                "CREATE VIEW dbo.vCustomerOrders\r\nAS\r\nSELECT c.Id, c.Name, o.Total\r\nFROM "
                "dbo.Customers c JOIN dbo.Orders o ON o.CustomerId = c.Id\r\nWHERE o.Total IS NOT "
                "NULL\r\n";
            return std::string("change the view other views use");
        },
        [](Schema& s, std::mt19937&) {
            s.Module("fnRates")->Text =
                "CREATE FUNCTION dbo.fnRates (@code int)\r\nRETURNS TABLE\r\nAS\r\nRETURN "
                "(SELECT @code * 1.5 AS Rate)\r\n";
            return std::string("fnRates becomes an inline table function");
        },
        [](Schema& s, std::mt19937&) {
            s.Module("trOrders_Touch")->Text =
                "CREATE TRIGGER dbo.trOrders_Touch ON dbo.Orders\r\nAFTER INSERT, UPDATE\r\nAS\r\n"
                "SET NOCOUNT ON\r\n";
            s.Modules.push_back({"dbo", "trCustomers_Guard",
                                 "CREATE TRIGGER dbo.trCustomers_Guard ON dbo.Customers\r\nAFTER "
                                 "DELETE\r\nAS\r\nSET NOCOUNT ON\r\n"});
            return std::string("change a trigger, add one");
        },
        [](Schema& s, std::mt19937&) {
            GTable ship;
            ship.Name = "Shipments";
            ship.KeyName = "PK_Shipments";
            ship.Columns = {IdCol(), Col("OrderId", "int", Values::Ref, false),
                            Col("Carrier", "varchar(20)", Values::Text, true, "('post')")};
            ship.Keys = {{"FK_Shipments_Orders", "OrderId", "dbo", "Orders", false}};
            ship.Rows = 3;
            s.Tables.push_back(ship);
            return std::string("new table Shipments with rows and a foreign key");
        },
        [](Schema& s, std::mt19937&) {
            GTable& t = *s.Table("Orders");
            t.Columns.erase(std::remove_if(t.Columns.begin(), t.Columns.end(),
                                           [](const GColumn& c) { return c.Name == "Notes"; }),
                            t.Columns.end());
            return std::string("drop column Orders.Notes");
        },
        [](Schema& s, std::mt19937&) {
            s.Modules.push_back({"dbo", "vTopA",
                                 "CREATE VIEW dbo.vTopA\r\nAS\r\nSELECT Id, Code FROM "
                                 "dbo.Products\r\n"});
            s.Modules.push_back(
                {"dbo", "vTopB", "CREATE VIEW dbo.vTopB\r\nAS\r\nSELECT Code FROM dbo.vTopA\r\n"});
            return std::string("two new views, one on the other");
        },
        [](Schema& s, std::mt19937&) {
            FindColumn(*s.Table("Products"), "Title")->Type = "varchar(60)";
            return std::string("widen Products.Title under the schema-bound vProductList");
        },
    };
    // Renamed in place on the changed copy. The columns and modules are ones no other
    // mutation touches and no CHECK, key or index names, so the rename is the only change.
    m.push_back([](Schema& s, std::mt19937& rng) {
        static const GeneratedPair::RenamedColumn kColumns[] = {
            {"dbo", "Customers", "Joined", "Joined On"},
            {"dbo", "dot.ted", "Seq", "Seq.No]'s"},
            {"dbo", "Order Details", "Unit Price", "UnitPrice"},
        };
        const GeneratedPair::RenamedColumn& r = kColumns[rng() % 3];
        s.After.push_back("EXEC sp_rename " +
                          SqlText(Name2(r.Schema, r.Table) + "." + Q(r.BaseName)) + ", " +
                          SqlText(r.ChangedName) + ", 'COLUMN'");
        s.RenamedColumns.push_back(r);
        return "rename column " + r.Table + "." + r.BaseName + " to " + r.ChangedName +
               " with sp_rename (confirmed)";
    });
    m.push_back([](Schema& s, std::mt19937& rng) {
        static const char* const kModules[][2] = {{"uspOrderTotals", "uspCustomerOrderTotals"},
                                                  {"fnCustomerOrders", "fnOrdersOfCustomer"}};
        const auto& names = kModules[rng() % 2];
        s.After.push_back("EXEC sp_rename " + SqlText(Name2("dbo", names[0])) + ", " +
                          SqlText(names[1]));
        return std::string("rename ") + names[0] + " to " + names[1] + " with sp_rename";
    });
    if (later)
        m.push_back([](Schema& s, std::mt19937&) {
            s.Schemas.push_back("audit");
            GTable log;
            log.Schema = "audit";
            log.Name = "Log";
            log.KeyName = "PK_Log";
            log.Columns = {IdCol(), Col("Entry", "nvarchar(40)", Values::Text, false)};
            log.Rows = 2;
            s.Tables.push_back(log);
            s.Modules.push_back({"audit", "uspLog",
                                 "CREATE PROCEDURE audit.uspLog\r\nAS\r\nSELECT Entry FROM "
                                 "audit.Log\r\n"});
            return std::string("new schema audit with a table and a procedure");
        });
    return m;
}

} // namespace

std::string GeneratedPair::BaseScript(const std::string& database) const {
    return Render(*base_, database);
}

std::string GeneratedPair::ChangedScript(const std::string& database) const {
    return Render(*changed_, database);
}

GeneratedPair GeneratePair(uint32_t seed, bool later) {
    std::mt19937 rng(seed);
    auto base = std::make_shared<Schema>(BaseSchema(rng, later));
    auto changed = std::make_shared<Schema>(*base);
    GeneratedPair pair;
    std::vector<Mutation> all = Mutations(later);
    std::vector<size_t> order(all.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    size_t count = 3 + rng() % 6;
    for (size_t i = 0; i < count && i < order.size(); ++i)
        pair.Mutations.push_back(all[order[i]](*changed, rng));
    pair.RenamedColumns = changed->RenamedColumns;
    pair.base_ = base;
    pair.changed_ = changed;
    return pair;
}

} // namespace orv::test
