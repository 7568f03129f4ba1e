// T-SQL functions that read the catalog: OBJECTPROPERTY, INDEXPROPERTY, OBJECT_ID,
// ident_seed, USER_NAME, serverproperty and friends.
#include "engine/errors.h"
#include "engine/functions_util.h"
#include "engine/integrity.h"

#include <algorithm>
#include <optional>
#include <unistd.h>
#include <unordered_map>

namespace sqlsim::fn {

namespace {

// What OBJECTPROPERTY needs to know of an object for nearly every property.
struct ObjectFacts {
    int id = 0;
    std::string xtype;
    int parent = 0;
    int uid = 0;
    bool shipped = false;
};

std::string objectFactsSql(const Catalog& cat) {
    return "SELECT o.id, o.xtype, o.parent_obj, o.uid, x.is_ms_shipped FROM " +
           cat.t("sysobjects") + " o LEFT JOIN " + cat.t("sqlsim_objects") + " x ON x.id = o.id";
}

ObjectFacts objectFactsRow(const Stmt& st) {
    return {static_cast<int>(st.integer(0)), st.text(1), static_cast<int>(st.integer(2)),
            static_cast<int>(st.integer(3)), st.integer(4) != 0};
}

// The facts of every object, read in one pass by a statement that asks OBJECTPROPERTY about
// many objects: a listing asks about each row of sysobjects, and a lookup per row cost the
// server more than the rest of the query. Kept with the statement's constant property name
// (SQLite's auxiliary data), so it lives for one run of one statement and never sees a
// catalog another statement changed.
struct StatementObjects {
    // Lookups one at a time before the whole catalog is worth reading.
    static constexpr int kSingleLookups = 32;
    int lookups = 0;
    bool loaded = false;
    std::unordered_map<int, ObjectFacts> byId;
};

std::optional<ObjectFacts> lookUpObject(sqlite3_context* ctx, const Catalog& cat, int id,
                                        int constantArg) {
    auto* cache = static_cast<StatementObjects*>(sqlite3_get_auxdata(ctx, constantArg));
    if (cache && cache->loaded) {
        auto it = cache->byId.find(id);
        return it == cache->byId.end() ? std::nullopt : std::optional<ObjectFacts>(it->second);
    }
    const bool fresh = cache == nullptr;
    if (fresh)
        cache = new StatementObjects;
    std::optional<ObjectFacts> found;
    if (++cache->lookups <= StatementObjects::kSingleLookups) {
        Stmt st = Stmt::Cached(cat.db(), objectFactsSql(cat) + " WHERE o.id = ?");
        st.bind(1, id);
        if (st.step())
            found = objectFactsRow(st);
        st.reset();
    } else {
        Stmt st(cat.db(), objectFactsSql(cat));
        while (st.step()) {
            ObjectFacts f = objectFactsRow(st);
            cache->byId.emplace(f.id, std::move(f));
        }
        cache->loaded = true;
        auto it = cache->byId.find(id);
        if (it != cache->byId.end())
            found = it->second;
    }
    if (fresh)
        sqlite3_set_auxdata(ctx, constantArg, cache,
                            [](void* p) { delete static_cast<StatementObjects*>(p); });
    return found;
}

void fnObjectProperty(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    SessionImpl* s = session(ctx);
    Catalog cat = s->catalog();
    const int id = static_cast<int>(sqlite3_value_int64(argv[0]));
    if (lower(argText(argv[1])) == "isschemabound") {
        // Asked of many modules at once (a deployment lists what is bound), so answered by two
        // indexed lookups instead of loading every object's facts.
        Stmt known =
            Stmt::Cached(cat.db(), "SELECT 1 FROM " + cat.t("sysobjects") + " WHERE id = ?");
        known.bind(1, id);
        if (!known.step())
            return sqlite3_result_null(ctx);
        Stmt bound = Stmt::Cached(cat.db(), "SELECT 1 FROM " + cat.t("sqlsim_schema_bound") +
                                                " WHERE id = ?");
        bound.bind(1, id);
        return sqlite3_result_int(ctx, bound.step() ? 1 : 0);
    }
    const std::optional<ObjectFacts> facts = lookUpObject(ctx, cat, id, 1);
    if (!facts)
        return sqlite3_result_null(ctx);
    const ObjectFacts* obj = &*facts;
    const bool shipped = obj->shipped;
    std::string p = lower(argText(argv[1]));
    const std::string& x = obj->xtype;
    auto yes = [&](bool b) { sqlite3_result_int(ctx, b ? 1 : 0); };
    if (p == "isprocedure")
        return yes(x == "P");
    if (p == "isinlinefunction")
        return yes(x == "IF");
    if (p == "isscalarfunction")
        return yes(x == "FN");
    if (p == "istablefunction")
        return yes(x == "TF");
    if (p == "isview")
        return yes(x == "V");
    if (p == "istrigger")
        return yes(x == "TR");
    if (p == "isusertable")
        return yes(x == "U" && !shipped);
    if (p == "istable")
        return yes(x == "U" || x == "S");
    if (p == "issystemtable")
        return yes(x == "S");
    if (p == "isforeignkey")
        return yes(x == "F");
    if (p == "cnstisdisabled")
        return x == "F" || x == "C" ? yes(isDisabled(cat, id)) : sqlite3_result_null(ctx);
    if (p == "cnstisnottrusted")
        return x == "F" || x == "C" ? yes(constraintState(cat, id).notTrusted)
                                    : sqlite3_result_null(ctx);
    if (p == "cnstisnotrepl")
        return x == "F" || x == "C" ? yes(constraintState(cat, id).notForReplication)
                                    : sqlite3_result_null(ctx);
    if (p == "cnstisdeletecascade")
        return x == "F" ? yes(constraintState(cat, id).onDelete == RefAction::Cascade)
                        : sqlite3_result_null(ctx);
    if (p == "cnstisupdatecascade")
        return x == "F" ? yes(constraintState(cat, id).onUpdate == RefAction::Cascade)
                        : sqlite3_result_null(ctx);
    if (p == "execistriggerdisabled")
        return x == "TR" ? yes(isDisabled(cat, id)) : sqlite3_result_null(ctx);
    if (p == "isprimarykey")
        return yes(x == "PK");
    if (p == "isuniquecnst")
        return yes(x == "UQ");
    if (p == "ischeckcnst")
        return yes(x == "C");
    if (p == "isdefaultcnst")
        return yes(x == "D" && obj->parent != 0);
    if (p == "isdefault")
        return yes(x == "D" && obj->parent == 0);
    if (p == "isconstraint")
        return yes(x == "PK" || x == "UQ" || x == "F" || x == "C" || (x == "D" && obj->parent));
    if (p == "ismsshipped")
        return yes(shipped);
    if (p == "isexecuted")
        return yes(x == "P" || x == "FN" || x == "IF" || x == "TF" || x == "TR" || x == "V");
    if (p == "ownerid" || p == "schemaid")
        return sqlite3_result_int(ctx, obj->uid);
    if (p == "isquotedidenton" || p == "execisquotedidenton" || p == "isansinullson" ||
        p == "execisansinullson")
        return yes(x == "P" || x == "FN" || x == "IF" || x == "TF" || x == "TR" || x == "V" ||
                   x == "U");
    if (p == "isencrypted") {
        Stmt st = Stmt::Cached(cat.db(), "SELECT max(encrypted) FROM " + cat.t("syscomments") +
                                             " WHERE id = ?");
        st.bind(1, obj->id);
        return yes(st.step() && st.integer(0) != 0);
    }
    if (p == "tablehasidentity")
        return x == "U" ? yes(cat.identity(obj->id).has_value()) : sqlite3_result_null(ctx);
    if (p == "tablehasclustindex" || p == "isindexed")
        return yes(cat.hasClustered(obj->id));
    if (p == "tablehasprimarykey") {
        Stmt st = Stmt::Cached(cat.db(), "SELECT 1 FROM " + cat.t("sysobjects") +
                                             " WHERE parent_obj = ? AND xtype = 'PK'");
        st.bind(1, obj->id);
        return yes(st.step());
    }
    if (p == "isschemabound") {
        Stmt st = Stmt::Cached(cat.db(),
                               "SELECT 1 FROM " + cat.t("sqlsim_schema_bound") + " WHERE id = ?");
        st.bind(1, obj->id);
        return yes(st.step());
    }
    if (p == "isreplproc" || p == "isstartup")
        return yes(false);
    sqlite3_result_null(ctx);
}

void fnIndexProperty(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]) || isNull(argv[2]))
        return sqlite3_result_null(ctx);
    SessionImpl* s = session(ctx);
    Catalog cat = s->catalog();
    Stmt st = Stmt::Cached(cat.db(), "SELECT status, indid FROM " + cat.t("sysindexes") +
                                         " WHERE id = ? AND name = ? AND indid > 0");
    st.bind(1, sqlite3_value_int64(argv[0])).bind(2, argText(argv[1]));
    if (!st.step())
        return sqlite3_result_null(ctx);
    long long status = st.integer(0);
    long long indid = st.integer(1);
    std::string p = lower(argText(argv[2]));
    auto yes = [&](bool b) { sqlite3_result_int(ctx, b ? 1 : 0); };
    if (p == "isstatistics")
        return yes(status & (kIdxStatistics | kIdxAutoStatistics));
    if (p == "isautostatistics")
        return yes(status & kIdxAutoStatistics);
    if (p == "ishypothetical")
        return yes(status & kIdxHypothetical);
    if (p == "isclustered")
        return yes(indid == 1);
    if (p == "isunique")
        return yes(status & kIdxUnique);
    if (p == "indexid")
        return sqlite3_result_int64(ctx, indid);
    if (p == "ispadindex" || p == "isfulltextkey" || p == "isrowlockdisallowed" ||
        p == "ispagelockdisallowed" || p == "isdisabled")
        return yes(false);
    if (p == "indexfillfactor")
        return sqlite3_result_int(ctx, 0);
    if (p == "indexdepth")
        return sqlite3_result_int(ctx, 1);
    sqlite3_result_null(ctx);
}

// Splits an object name given as text the way the server's name functions do: parts end at a
// "." outside brackets and double quotes; a delimited part loses its delimiters (doubled
// closers undone), an undelimited one is taken as it stands, blanks at its ends dropped, so
// 'O''Brien''s Orders' names the table O'Brien's Orders. Nothing when a delimiter is unclosed.
std::optional<std::vector<std::string>> splitObjectName(const std::string& text) {
    std::vector<std::string> parts(1);
    bool delimited = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '[' || c == '"') && parts.back().empty() && !delimited) {
            const char close = c == '[' ? ']' : '"';
            size_t j = i + 1;
            for (; j < text.size(); ++j) {
                if (text[j] != close) {
                    parts.back() += text[j];
                    continue;
                }
                if (j + 1 < text.size() && text[j + 1] == close) {
                    parts.back() += close;
                    ++j;
                    continue;
                }
                break;
            }
            if (j >= text.size())
                return std::nullopt;
            delimited = true;
            i = j;
            continue;
        }
        if (c == '.') {
            parts.emplace_back();
            delimited = false;
            continue;
        }
        if (delimited) {
            if (c != ' ')
                return std::nullopt; // text after a closing bracket
            continue;
        }
        if (c == ' ' && parts.back().empty())
            continue;
        parts.back() += c;
    }
    for (auto& part : parts)
        while (!part.empty() && part.back() == ' ')
            part.pop_back();
    return parts;
}

// The session's memo of catalog lookups. It lives for one statement (SessionImpl::execute
// empties it), so that no other session's change and no rollback can slip past it, and is
// emptied within the statement too when this connection has changed rows since it was filled
// (a statement of a module body, a trigger).
SessionImpl::CatalogMemo& freshMemo(SessionImpl* s) {
    SessionImpl::CatalogMemo& memo = s->catalogMemo;
    sqlite3* db = s->conn();
    const long long changes = sqlite3_total_changes64(db);
    if (memo.db != db || memo.changes != changes) {
        memo.objects.clear();
        memo.identities.clear();
        memo.db = db;
        memo.changes = changes;
    }
    return memo;
}

std::optional<ObjectRow> findByName(SessionImpl* s, const std::string& text);

// Resolves 'name', 'schema.name' or '[schema].[name]' in the current database.
std::optional<ObjectRow> objectByName(SessionImpl* s, const std::string& text) {
    auto& objects = freshMemo(s).objects;
    if (auto it = objects.find(text); it != objects.end())
        return it->second;
    std::optional<ObjectRow> found = findByName(s, text);
    // A three-part name reaches another database, which the memo does not watch.
    if (std::count(text.begin(), text.end(), '.') < 2)
        objects.emplace(text, found);
    return found;
}

std::optional<ObjectRow> findByName(SessionImpl* s, const std::string& text) {
    auto split = splitObjectName(text);
    if (!split)
        return std::nullopt;
    std::vector<std::string> parts = std::move(*split);
    if (parts.empty() || parts.size() > 3)
        return std::nullopt;
    std::string schema = "main";
    if (parts.size() == 3) {
        auto sc = s->schemaFor(parts[0]);
        if (!sc)
            return std::nullopt;
        schema = *sc;
    }
    Catalog cat = s->catalog(schema);
    std::optional<int> ns = 1;
    if (parts.size() >= 2 && !parts[parts.size() - 2].empty())
        ns = cat.namespaceId(parts[parts.size() - 2]);
    if (!ns)
        return std::nullopt;
    auto obj = cat.findObject(parts.back(), ns);
    if (!obj && parts.size() == 1) {
        // System tables live outside dbo on later versions.
        auto any = cat.findObject(parts.back(), std::nullopt);
        if (any && any->xtype == "S")
            return any;
    }
    return obj;
}

void fnObjectId(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    auto obj = objectByName(session(ctx), argText(argv[0]));
    if (!obj)
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, obj->id);
}

void fnIdent(sqlite3_context* ctx, sqlite3_value* arg, int which) {
    if (isNull(arg))
        return sqlite3_result_null(ctx);
    SessionImpl* s = session(ctx);
    auto obj = objectByName(s, argText(arg));
    if (!obj || obj->xtype != "U")
        return sqlite3_result_null(ctx);
    // The seed and increment stay until the table is altered; the current value moves with
    // every insert, so it is always read.
    auto& identities = freshMemo(s).identities;
    if (which < 2) {
        if (auto it = identities.find(obj->id); it != identities.end()) {
            const std::optional<long long>& v = which == 0 ? it->second.first : it->second.second;
            return v ? sqlite3_result_int64(ctx, *v) : sqlite3_result_null(ctx);
        }
    }
    Catalog cat = s->catalog();
    Stmt st = Stmt::Cached(cat.db(), "SELECT ident_seed, ident_incr, ident_current FROM " +
                                         cat.t("sqlsim_objects") +
                                         " WHERE id = ? AND ident_seed IS NOT NULL");
    st.bind(1, obj->id);
    const bool found = st.step();
    auto value = [&](int column) {
        return found && !st.isNull(column) ? std::optional<long long>(st.integer(column))
                                           : std::nullopt;
    };
    identities[obj->id] = {value(0), value(1)};
    const std::optional<long long> v = value(which);
    return v ? sqlite3_result_int64(ctx, *v) : sqlite3_result_null(ctx);
}

void fnIdentSeed(sqlite3_context* ctx, int, sqlite3_value** argv) {
    fnIdent(ctx, argv[0], 0);
}
void fnIdentIncr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    fnIdent(ctx, argv[0], 1);
}
void fnIdentCurrent(sqlite3_context* ctx, int, sqlite3_value** argv) {
    fnIdent(ctx, argv[0], 2);
}

void fnUserName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    if (argc == 0)
        return resultText(ctx, "dbo");
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    Catalog cat = s->catalog();
    Stmt st = Stmt::Cached(cat.db(), "SELECT name FROM " + cat.t("sysusers") + " WHERE uid = ?");
    st.bind(1, sqlite3_value_int64(argv[0]));
    if (!st.step())
        return sqlite3_result_null(ctx);
    resultText(ctx, st.text(0));
}

void fnUserId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    if (argc == 0)
        return sqlite3_result_int(ctx, 1);
    auto uid = s->catalog().userId(argText(argv[0]));
    if (!uid)
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, *uid);
}

void fnSuserSname(sqlite3_context* ctx, int, sqlite3_value**) {
    const std::string& login = session(ctx)->login();
    resultText(ctx, login.empty() ? "sa" : login);
}

void fnObjectName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    SessionImpl* s = session(ctx);
    std::string schema = "main";
    if (argc > 1 && !isNull(argv[1])) {
        Stmt st = Stmt::Cached(s->conn(), "SELECT name FROM " + sqlId(*s->schemaFor("master")) +
                                              ".sysdatabases WHERE dbid = ?");
        st.bind(1, sqlite3_value_int64(argv[1]));
        if (!st.step())
            return sqlite3_result_null(ctx);
        auto sc = s->schemaFor(st.text(0));
        if (!sc)
            return sqlite3_result_null(ctx);
        schema = *sc;
    }
    auto obj = s->catalog(schema).objectById(static_cast<int>(sqlite3_value_int64(argv[0])));
    if (!obj)
        return sqlite3_result_null(ctx);
    resultText(ctx, obj->name);
}

// OBJECT_DEFINITION: the module's text as sys.sql_modules holds it; NULL for an encrypted
// module or an object without text, as documented.
void fnObjectDefinition(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    Catalog cat = session(ctx)->catalog();
    Stmt st = Stmt::Cached(cat.db(), "SELECT m.definition FROM " + cat.t("sqlsim_module_text") +
                                         " m WHERE m.id = ? AND NOT EXISTS (SELECT 1 FROM " +
                                         cat.t("syscomments") +
                                         " c WHERE c.id = m.id AND c.encrypted = 1)");
    st.bind(1, sqlite3_value_int64(argv[0]));
    if (!st.step() || st.isNull(0))
        return sqlite3_result_null(ctx);
    resultText(ctx, st.text(0));
}

void fnObjectSchemaName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    SessionImpl* s = session(ctx);
    Catalog cat = s->catalog();
    auto obj = cat.objectById(static_cast<int>(sqlite3_value_int64(argv[0])));
    if (!obj)
        return sqlite3_result_null(ctx);
    resultText(ctx, cat.namespaceName(obj->uid));
}

void fnSchemaName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    int id = argc == 0 ? 1 : static_cast<int>(sqlite3_value_int64(argv[0]));
    if (argc > 0 && isNull(argv[0]))
        return sqlite3_result_null(ctx);
    std::string n = s->catalog().namespaceName(id);
    if (n.empty())
        return sqlite3_result_null(ctx);
    resultText(ctx, n);
}

void fnSchemaId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    if (argc == 0)
        return sqlite3_result_int(ctx, 1);
    auto id = s->catalog().namespaceId(argText(argv[0]));
    if (!id)
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, *id);
}

void fnDbName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    if (argc == 0 || isNull(argv[0]))
        return resultText(ctx, s->currentDatabase());
    Stmt st = Stmt::Cached(s->conn(), "SELECT name FROM " + sqlId(*s->schemaFor("master")) +
                                          ".sysdatabases WHERE dbid = ?");
    st.bind(1, sqlite3_value_int64(argv[0]));
    if (!st.step())
        return sqlite3_result_null(ctx);
    resultText(ctx, st.text(0));
}

void fnDbId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    std::string name = argc == 0 ? s->currentDatabase() : argText(argv[0]);
    auto e = s->engine().database(name);
    if (!e)
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, e->dbid);
}

void fnServerProperty(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    std::string p = lower(argText(argv[0]));
    if (p == "productversion")
        return resultText(ctx, s->engine().options.productVersion);
    if (p == "productlevel")
        return resultText(ctx, "RTM");
    if (p == "edition")
        return resultText(ctx, "Developer Edition");
    if (p == "engineedition")
        return sqlite3_result_int(ctx, 3);
    if (p == "servername" || p == "machinename") {
        char host[256] = {0};
        gethostname(host, sizeof host - 1);
        return resultText(ctx, upper(host));
    }
    if (p == "instancename")
        return sqlite3_result_null(ctx);
    if (p == "collation")
        return resultText(ctx, "SQL_Latin1_General_CP1_CI_AS");
    if (p == "isintegratedsecurityonly" || p == "isclustered" || p == "isfulltextinstalled" ||
        p == "issingleuser")
        return sqlite3_result_int(ctx, 0);
    if (p == "processid")
        return sqlite3_result_int(ctx, static_cast<int>(getpid()));
    sqlite3_result_null(ctx);
}

void fnDatabasePropertyEx(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    auto db = s->engine().database(argText(argv[0]));
    if (!db)
        return sqlite3_result_null(ctx);
    std::string p = lower(argText(argv[1]));
    auto option = [&](const char* name, const char* otherwise) {
        return s->databaseOption(db->name, name).value_or(otherwise);
    };
    auto flag = [&](const char* name) {
        return sqlite3_result_int(ctx, option(name, "OFF") == "ON" ? 1 : 0);
    };
    if (p == "status")
        return resultText(ctx, option("STATE", "ONLINE"));
    if (p == "collation")
        return resultText(ctx, "SQL_Latin1_General_CP1_CI_AS");
    if (p == "updateability")
        return resultText(ctx, option("UPDATEABILITY", "READ_WRITE"));
    if (p == "useraccess")
        return resultText(ctx, option("ACCESS", "MULTI_USER"));
    if (p == "recovery")
        return resultText(ctx, option("RECOVERY", "FULL"));
    if (p == "isansinullsenabled")
        return flag("ANSI_NULLS");
    if (p == "isquotedidentifiersenabled")
        return flag("QUOTED_IDENTIFIER");
    if (p == "isautoclose")
        return flag("AUTO_CLOSE");
    if (p == "isautoshrink")
        return flag("AUTO_SHRINK");
    sqlite3_result_null(ctx);
}

void fnColumnProperty(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    Catalog cat = s->catalog();
    int id = static_cast<int>(sqlite3_value_int64(argv[0]));
    std::string col = argText(argv[1]);
    std::string p = lower(argText(argv[2]));
    for (const auto& c : cat.columns(id))
        if (iequals(c.name, col)) {
            if (p == "isidentity")
                return sqlite3_result_int(ctx, c.identity);
            if (p == "iscomputed")
                return sqlite3_result_int(ctx, c.computed);
            if (p == "allowsnull")
                return sqlite3_result_int(ctx, c.nullable);
            if (p == "precision")
                return sqlite3_result_int(ctx, c.type.prec);
            if (p == "scale")
                return c.type.scale < 0 ? sqlite3_result_null(ctx)
                                        : sqlite3_result_int(ctx, c.type.scale);
            if (p == "columnid")
                return sqlite3_result_int(ctx, c.colid);
            return sqlite3_result_null(ctx);
        }
    sqlite3_result_null(ctx);
}

void fnOne(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int(ctx, 1);
}

void fnTypeName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SessionImpl* s = session(ctx);
    Catalog cat = s->catalog();
    Stmt st =
        Stmt::Cached(cat.db(), "SELECT name FROM " + cat.t("systypes") + " WHERE xusertype = ?");
    st.bind(1, sqlite3_value_int64(argv[0]));
    if (!st.step())
        return sqlite3_result_null(ctx);
    resultText(ctx, st.text(0));
}

} // namespace

void registerCatalogFunctions(sqlite3* db, SessionImpl* s) {
    static const Def defs[] = {
        {"objectproperty", 2, fnObjectProperty, false},
        {"indexproperty", 3, fnIndexProperty, false},
        {"columnproperty", 3, fnColumnProperty, false},
        {"databasepropertyex", 2, fnDatabasePropertyEx, false},
        {"ident_seed", 1, fnIdentSeed, false},
        {"ident_incr", 1, fnIdentIncr, false},
        {"ident_current", 1, fnIdentCurrent, false},
        {"user_name", 0, fnUserName, false},
        {"user_name", 1, fnUserName, false},
        {"user_id", 0, fnUserId, false},
        {"user_id", 1, fnUserId, false},
        {"suser_sname", 0, fnSuserSname, false},
        {"suser_sname", 1, fnSuserSname, false},
        {"object_name", 1, fnObjectName, false},
        {"object_name", 2, fnObjectName, false},
        {"object_id", 1, fnObjectId, false},
        {"object_id", 2, fnObjectId, false},
        {"object_schema_name", 1, fnObjectSchemaName, false},
        {"object_definition", 1, fnObjectDefinition, false},
        {"schema_name", 0, fnSchemaName, false},
        {"schema_name", 1, fnSchemaName, false},
        {"schema_id", 0, fnSchemaId, false},
        {"schema_id", 1, fnSchemaId, false},
        {"db_name", 0, fnDbName, false},
        {"db_name", 1, fnDbName, false},
        {"db_id", 0, fnDbId, false},
        {"db_id", 1, fnDbId, false},
        {"serverproperty", 1, fnServerProperty, false},
        {"is_srvrolemember", 1, fnOne, false},
        {"is_srvrolemember", 2, fnOne, false},
        {"has_dbaccess", 1, fnOne, false},
        {"type_name", 1, fnTypeName, false},
    };
    registerAll(db, s, defs, sizeof defs / sizeof defs[0]);
}

} // namespace sqlsim::fn
