// One client connection: its current database, SET options, variables and its own SQLite
// connection, with the other databases it touches attached to it.
#pragma once

#include "engine/catalog.h"
#include "engine/datetime_text.h"
#include "engine/engine_impl.h"
#include "engine/module_text.h"
#include "engine/translate.h"

#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sqlsim {

struct Statement {
    size_t begin = 0; // token range
    size_t end = 0;
    std::string kind; // upper-case first word
};

class SessionImpl : public Session, public NameResolver {
public:
    SessionImpl(Engine::Impl& engine, std::string login, const DatabaseEntry& db,
                const ConnectionFacts* connection = nullptr);
    ~SessionImpl() override;
    SessionImpl(const SessionImpl&) = delete;
    SessionImpl& operator=(const SessionImpl&) = delete;

    std::string currentDatabase() const override { return currentDb_; }
    int sessionId() const override { return sessionId_; }
    void executeBatch(const std::string& sql, ResultSink& sink,
                      const std::atomic<bool>& cancel) override;
    void executeRpc(const std::string& procName, const std::vector<RpcParam>& params,
                    ResultSink& sink, const std::atomic<bool>& cancel) override;
    bool reset(ServerMessage& error) override;

    ResolvedTable resolveTable(const std::vector<std::string>& parts,
                               const std::string& written) override;
    int major() const override { return engine_.major; }
    std::vector<std::string> insertColumns(const ResolvedTable& table) override;
    std::string columnBaseType(const ResolvedTable& table, const std::string& column) override;
    std::vector<std::pair<std::string, std::string>>
    columnBaseTypes(const ResolvedTable& table) override;
    std::string dateConstant(const std::string& type, const std::string& text) override;

    // Used by the functions registered with SQLite.
    Engine::Impl& engine() { return engine_; }
    const std::string& login() const { return login_; }
    Catalog catalog(const std::string& schema = "main") {
        return Catalog(conn_.get(), schema, engine_.major);
    }
    sqlite3* conn() { return conn_.get(); }
    long long rowCount() const { return lastRowCount_; }
    // @@TRANCOUNT and @@ERROR.
    int tranCount() const { return tranCount_; }
    int lastError() const { return lastError_; }
    std::optional<long long> lastIdentity;
    // What the catalog functions found by name in the current database, and the identity
    // seed and increment by table id, during one statement (see functions_catalog.cpp): a
    // query asks OBJECT_ID and ident_seed of the same table on many of its rows.
    struct CatalogMemo {
        sqlite3* db = nullptr;
        long long changes = -1;
        std::unordered_map<std::string, std::optional<ObjectRow>> objects;
        std::unordered_map<int, std::pair<std::optional<long long>, std::optional<long long>>>
            identities;
    };
    CatalogMemo catalogMemo;
    // While a view is being created, names resolve without the SQLite schema so that the
    // stored view keeps working whatever name its file is attached under.
    bool viewMode = false;
    // Start-up scripts build the databases a test needs, whatever version the server poses
    // as; only what clients send is held to that version's grammar.
    bool setupScript = false;
    // SET DATEFORMAT: how a numeric date string such as 7/4/1996 is read.
    DateOrder dateOrder = DateOrder::Mdy;
    // The type SQL Server would report for a result column that comes straight from a user
    // table column, with its nullability and identity.
    std::optional<ColumnRow> originColumn(sqlite3_stmt* st, int col);
    // The database a SQLite schema name ("main", "db7") holds.
    std::string databaseOfSchema(const std::string& schema) const;
    // SQLite schema name of a database, attaching it when needed; nullopt when unknown.
    std::optional<std::string> schemaFor(const std::string& dbName);
    // Database options set by ALTER DATABASE ... SET or sp_dboption, kept in master where
    // sys.databases and DATABASEPROPERTYEX read them.
    void setDatabaseOption(const std::string& db, const std::string& option,
                           const std::string& value);
    std::optional<std::string> databaseOption(const std::string& db, const std::string& option);
    // A #table this session created; it goes away with the session or its reset.
    void noteTempTable(const std::string& db, const std::string& schema, const std::string& name);

private:
    struct OpenFile {
        Db conn;
        std::string path;
        std::map<std::string, std::string> attached; // lower-case db name -> schema
    };

    ResolvedTable resolveAny(const std::vector<std::string>& parts, const std::string& written);
    // sys.dm_exec_connections as it stands now (live_sessions.cpp).
    ResolvedTable connectionsView(const std::string& written);
    // False when an error ended the batch, which also ends the batch that ran this one.
    bool run(const std::string& sql, const std::vector<Token>& toks, ResultSink& sink,
             const std::atomic<bool>& cancel, const std::map<std::string, Value>& params);
    // Decides what an error does to the rest of the batch (and to an open transaction);
    // false when the batch stops.
    bool afterError(ServerMessage m, ResultSink& sink, bool more);
    // BEGIN TRAN, COMMIT, ROLLBACK and SAVE TRAN.
    void runTransaction(const std::vector<Token>& toks, const Statement& st);
    // Statements that change data or the catalog join the open transaction: the SQLite
    // transaction starts with the first of them, so that reads before it see committed data
    // as READ COMMITTED does, and waits for another session's writer as a lock would.
    void joinTransaction(const std::string& kind);
    // Ends the transaction on every connection the session wrote through.
    void endTransaction(bool commit);
    // SELECT @v = expr [, ...] [FROM ...]: no result set; the variables take the last row.
    bool runAssignmentSelect(const std::vector<Token>& toks, const Statement& st);
    // UPDATE STATISTICS, ALTER DATABASE ... SET and sp_dboption: accepted, nothing to do.
    bool runMaintenance(const std::vector<Token>& toks, const Statement& st, ResultSink& sink,
                        bool more);
    std::vector<Statement> split(const std::vector<Token>& toks) const;
    void execute(const std::string& sql, const std::vector<Token>& toks, const Statement& st,
                 ResultSink& sink, const std::atomic<bool>& cancel, bool more);
    void runSelect(const std::vector<Token>& toks, const Statement& st, ResultSink& sink,
                   const std::atomic<bool>& cancel, bool more);
    void runQuery(const std::string& sql, const std::vector<ColumnHint>& hints, bool star,
                  ResultSink& sink, const std::atomic<bool>& cancel, bool more);
    void runDml(const std::vector<Token>& toks, const Statement& st, ResultSink& sink,
                const std::atomic<bool>& cancel, bool more);
    // Runs the translated INSERT, UPDATE or DELETE and checks the foreign keys it could
    // break; the statement is undone whole when one fails.
    void applyDml(const std::string& kind, const std::string& sql, const ResolvedTable& target,
                  bool insteadOf);
    // Triggers (session_triggers.cpp): the enabled ones of `target` that `kind` fires, and
    // running the statement with them, `inserted` and `deleted` holding its rows.
    std::vector<TriggerText> triggersFor(const ResolvedTable& target, const std::string& kind);
    void fireTriggers(const std::string& kind, const std::string& sql, const ResolvedTable& target,
                      const std::vector<TriggerText>& triggers,
                      const std::vector<std::string>& updated, ResultSink& sink,
                      const std::atomic<bool>& cancel);
    // The columns an UPDATE's SET list names (for UPDATE(column) in its triggers).
    static std::vector<std::string> updatedColumns(const std::vector<Token>& toks,
                                                   const Statement& st);
    // UPDATE(column) in a trigger's IF: true when the firing statement set that column.
    void answerUpdateTests(std::vector<Token>& condition) const;
    struct Firing {
        std::string inserted, deleted; // the temp tables that stand for them
        std::vector<std::string> updated;
        bool allColumns = false; // an INSERT sets every column
        int triggerId = 0;
    };
    std::vector<Firing> firing_; // innermost last
    int firingCounter_ = 0;
    void runExec(const std::vector<Token>& toks, const Statement& st, ResultSink& sink,
                 const std::atomic<bool>& cancel, bool more);
    void runProcedure(const std::string& name, const std::vector<RpcParam>& params,
                      ResultSink& sink, const std::atomic<bool>& cancel, bool more);
    // Runs a procedure of the database's own (session_modules.cpp); false when `fullName`
    // names none.
    bool runUserProcedure(const std::string& fullName, const std::vector<RpcParam>& params,
                          ResultSink& sink, const std::atomic<bool>& cancel, bool more);
    // The status the last procedure returned (RETURN n), and the values its OUTPUT
    // parameters ended with, by argument position.
    int returnStatus_ = 0;
    std::map<size_t, Value> procOutputs_;
    // The variables a batch, procedure or trigger body ended with.
    std::map<std::string, Value> lastScope_;
    // Procedures and triggers running now, innermost last: @@NESTLEVEL, and the name that
    // messages raised inside them carry.
    std::vector<std::string> moduleStack_;
    // TRY blocks running now; an error of severity 11 to 19 inside one goes to its CATCH.
    int tryDepth_ = 0;

public:
    // The errors the CATCH blocks running now handle, innermost last (ERROR_NUMBER() ...).
    std::vector<ServerMessage> caughtErrors;

private:
    void runSet(const std::vector<Token>& toks, const Statement& st);
    // RAISERROR (text, severity, state [, argument ...]): the message goes to the client and
    // the batch goes on.
    void runRaiserror(const std::vector<Token>& toks, const Statement& st, ResultSink& sink);
    // {ENABLE | DISABLE} TRIGGER {ALL | name [, ...]} ON table.
    void runTriggerSwitch(const std::vector<Token>& toks, const Statement& st);
    void runDeclare(const std::vector<Token>& toks, const Statement& st);
    // DECLARE @t TABLE (...): toks[from, end) is the column list in parentheses.
    void declareTableVariable(const Token& variable, const std::vector<Token>& toks, size_t from,
                              size_t end);
    // The tables behind the batch's table variables, dropped when it ends.
    std::vector<std::string> batchTables_;
    // A value assigned to a variable converts to the variable's declared type.
    std::string assignedAs(const std::string& variable, const std::string& sqliteExpr) const;
    void setDateFormat(const Token& value);
    void waitFor(const std::vector<Token>& toks, const Statement& st,
                 const std::atomic<bool>& cancel);
    void use(const std::string& dbName, ResultSink& sink);
    void attach(const std::string& dbName, const std::string& file, ResultSink& sink);
    // Makes `db` the database the session's SQLite connection is opened on. The login
    // database's connection is kept aside while another is current: reopening a file makes
    // SQLite read its whole schema again, which a reset on every pooled reuse cannot afford.
    void switchTo(const DatabaseEntry& db);
    OpenFile openFile(const DatabaseEntry& db);
    // Makes `f` the current connection and hands back the one it replaces.
    OpenFile adopt(OpenFile f);
    void dropTempTables();
    // Connections left by USE while their transaction was still open.
    std::vector<OpenFile> parked_;
    int tranCount_ = 0;
    std::string tranName_; // of the outermost BEGIN TRAN; case matters, as on the server
    std::vector<std::string> savepoints_; // SAVE TRAN names, oldest first
    int lastError_ = 0;
    bool batchAborted_ = false; // an error ended the client's batch
    bool xactAbort_ = false;
    // RAISERROR WITH LOG of severity 20 or more ends the connection's work.
    bool fatal_ = false;
    void bindParams(sqlite3_stmt* st);
    Value evaluate(const std::string& sqliteExpr);
    ColumnInfo describe(sqlite3_stmt* st, int col, const ColumnHint* hint);

    Engine::Impl& engine_;
    std::string login_;
    int sessionId_ = 0;
    struct TempTable {
        std::string db, schema, name;
    };

    std::string currentDb_;
    std::string loginDb_;
    std::string currentPath_;
    Db conn_;
    std::map<std::string, std::string> attached_; // lower-case db name -> schema
    std::optional<OpenFile> loginFile_;           // while another database is current
    std::vector<TempTable> tempTables_;
    std::map<std::string, Value> variables_; // upper-case @name -> value
    // The declared type of the variables whose values SET and DECLARE convert on assignment.
    std::map<std::string, std::string> variableTypes_; // upper-case @name -> SQLite decl
    bool nocount_ = false;
    // SET NOEXEC ON: statements are read but not run until SET NOEXEC OFF.
    bool noexec_ = false;
    long long rowLimit_ = 0; // SET ROWCOUNT; 0 is no limit
    long long lastRowCount_ = 0;
    int attachCounter_ = 0;
};

void registerFunctions(sqlite3* db, SessionImpl* session);

// Runs one DDL statement (CREATE/ALTER/DROP, sp_addtype, ...) of `toks[st.begin, st.end)`.
// `batchText` is the whole batch, which SQL Server keeps as the text of a module.
void executeDdl(SessionImpl& s, const std::string& batchText, const std::vector<Token>& toks,
                const Statement& st);
void addUserType(SessionImpl& s, const std::string& name, const std::string& baseType,
                 bool allowNulls);
// The schema procedures (sp_rename, sp_helptext, ...); false when `lname` names none of them.
bool runSchemaProcedure(SessionImpl& s, const std::string& lname,
                        const std::vector<RpcParam>& params, ResultSink& sink, bool more);

} // namespace sqlsim
