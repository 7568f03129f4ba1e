#include "wire/connection.h"

#include "wire/ntlm.h"
#include "wire/rpc_sql.h"

#include <chrono>
#include <sys/socket.h>
#include <thread>

namespace sqlsim::wire {

namespace {

constexpr size_t kDefaultPacketSize = 4096;
// As much of an answer as may be on its way over a simulated link at once: the largest send
// buffer Linux grows a socket's to by default (net.ipv4.tcp_wmem).
constexpr size_t kLinkBufferBytes = 4 * 1024 * 1024;
constexpr uint16_t kCmdSelect = 0xC1;

ServerMessage loginFailed(const std::string& user) {
    ServerMessage m;
    m.number = 18456;
    m.severity = 14;
    m.state = 1;
    m.text = "Login failed for user '" + user + "'.";
    return m;
}

} // namespace

// Turns what the engine reports into tokens. The DONE of a statement is held back until the
// next token shows whether more follow, so the MORE bit is right even when the engine does
// not know it yet; inside an RPC statements end with DONEINPROC and the call with DONEPROC.
class WireSink : public ResultSink {
public:
    WireSink(Connection& c, bool inProc) : c_(c), inProc_(inProc) {}

    void columns(const std::vector<ColumnInfo>& cols) override {
        // A result without columns cannot be described; clients would misread its rows.
        if (!live() || cols.empty())
            return;
        flushPending();
        c_.tokens_.colMetadata(cols);
        hadColumns_ = true;
        rowsInResult_ = 0;
        c_.emit();
    }

    bool row(const std::vector<Value>& values) override {
        if (!live())
            return false;
        const Faults& faults = c_.settings_.faults;
        if (faults.dropAfterRows != 0 && rowsInResult_ == faults.dropAfterRows) {
            c_.dropConnection();
            return false;
        }
        if (faults.errorMidResult != 0 && rowsInResult_ == faults.errorMidResult) {
            ServerMessage err;
            err.number = 8134;
            err.text = "Divide by zero error encountered.";
            message(err);
            done(true, static_cast<int64_t>(rowsInResult_), false);
            return false; // the engine stops the batch as it would after the real error
        }
        ++rowsInResult_;
        c_.tokens_.row(values);
        return c_.emit();
    }

    void done(bool hasRowCount, int64_t rowCount, bool more) override {
        (void)more;
        if (!live())
            return;
        flushPending();
        pending_ = Pending{static_cast<uint16_t>((hasRowCount ? kDoneCount : 0) |
                                                 (errorSinceDone_ ? kDoneError : 0)),
                           static_cast<uint16_t>(hadColumns_ ? kCmdSelect : 0),
                           static_cast<uint64_t>(hasRowCount ? rowCount : 0)};
        errorSinceDone_ = false;
        hadColumns_ = false;
    }

    void message(const ServerMessage& m) override {
        if (!live())
            return;
        flushPending();
        if (m.severity > 10) {
            errorSinceDone_ = true;
            anyError_ = true;
        }
        c_.tokens_.message(m, c_.settings_.serverName);
        c_.emit();
    }

    void databaseChanged(const std::string& newDb, const std::string& oldDb) override {
        if (!live())
            return;
        flushPending();
        c_.tokens_.envChange(kEnvDatabase, newDb, oldDb);
        c_.emit();
    }

    void returnStatus(int32_t status) override {
        if (!live())
            return;
        flushPending();
        c_.tokens_.returnStatus(status);
        sentReturnStatus_ = true;
        c_.emit();
    }

    void outputHandle(uint16_t ordinal, const std::string& name, int32_t value) {
        outputs_.push_back({ordinal, name, value});
    }

    // Ends a batch with its final DONE.
    void finishBatch() {
        if (!live())
            return;
        if (pending_) {
            writeDone(kTokDone, pending_->status, pending_->curCmd, pending_->count);
            pending_.reset();
        } else {
            writeDone(kTokDone, errorSinceDone_ ? kDoneError : kDoneFinal, 0, 0);
        }
    }

    // Ends one procedure call: its statements' DONEINPROC, return status, output
    // parameters and the DONEPROC.
    void finishProc(bool moreCalls) {
        if (!live())
            return;
        flushPending();
        if (!sentReturnStatus_)
            c_.tokens_.returnStatus(anyError_ ? -6 : 0);
        for (const auto& o : outputs_)
            c_.tokens_.returnValueInt(o.ordinal, o.name, o.value);
        uint16_t status = (moreCalls ? kDoneMore : 0) | (anyError_ ? kDoneError : 0);
        writeDone(kTokDoneProc, status, 0, 0);
    }

private:
    struct Pending {
        uint16_t status;
        uint16_t curCmd;
        uint64_t count;
    };
    struct Output {
        uint16_t ordinal;
        std::string name;
        int32_t value;
    };

    bool live() const { return !c_.cancel_.load() && !c_.writer_.failed() && !c_.dropped_; }

    void flushPending() {
        if (!pending_)
            return;
        writeDone(inProc_ ? kTokDoneInProc : kTokDone, pending_->status | kDoneMore,
                  pending_->curCmd, pending_->count);
        pending_.reset();
    }

    void writeDone(uint8_t token, uint16_t status, uint16_t curCmd, uint64_t count) {
        c_.tokens_.done(token, status, curCmd, count);
        c_.emit();
    }

    Connection& c_;
    bool inProc_;
    std::optional<Pending> pending_;
    bool errorSinceDone_ = false;
    bool anyError_ = false;
    bool hadColumns_ = false;
    bool sentReturnStatus_ = false;
    uint64_t rowsInResult_ = 0;
    std::vector<Output> outputs_;
};

Connection::Connection(Fd socket, SessionProvider& sessions, const ServerSettings& settings)
    : socket_(std::move(socket)), plain_(socket_.get()), sessions_(sessions), settings_(settings),
      link_(settings.link),
      writer_([this](std::span<const uint8_t> b) { return send(b); }, kDefaultPacketSize) {}

bool Connection::send(std::span<const uint8_t> bytes) {
    if (link_.shaped()) {
        if (!linkSender_)
            linkSender_ = std::make_unique<LinkSender>(kLinkBufferBytes);
        return linkSender_->send(link_.reserve(bytes.size(), LinkSchedule::Clock::now()), bytes,
                                 out_);
    }
    drainLink(); // a link switched off since keeps its order
    return out_->write(bytes);
}

void Connection::drainLink() {
    if (linkSender_)
        linkSender_->drain();
}

Connection::~Connection() {
    shutdown();
    if (reader_.joinable())
        reader_.join();
}

void Connection::shutdown() {
    if (socket_)
        ::shutdown(socket_.get(), SHUT_RDWR);
}

void Connection::run() {
    if (!loginPhase()) {
        drainLink(); // a refused login's message still reaches the client
        shutdown();
        return;
    }
    reader_ = std::thread([this] { readerLoop(); });
    while (true) {
        std::optional<Message> m = pop();
        if (!m)
            break;
        bool keep = false;
        try {
            keep = handle(*m);
        } catch (const ProtocolError&) {
            keep = false; // a client that breaks the framing cannot be answered sensibly
        } catch (const std::exception&) {
            keep = false; // whatever went wrong, it ends this client only, not the server
        }
        if (!keep || writer_.failed() || dropped_)
            break;
    }
    drainLink();
    shutdown();
    reader_.join();
    session_.reset();
}

bool Connection::loginPhase() {
    MessageAssembler assembler;
    try {
        while (!loggedIn_) {
            std::optional<Message> m = readMessage(assembler);
            if (!m || !handle(*m) || writer_.failed())
                return false;
        }
    } catch (const std::exception&) {
        return false; // a client that breaks the framing cannot be answered sensibly
    }
    return true;
}

std::optional<Message> Connection::readMessage(MessageAssembler& assembler) {
    uint8_t header[kHeaderSize];
    std::vector<uint8_t> payload;
    while (in_->read(header, kHeaderSize)) {
        PacketHeader h = parseHeader(header);
        payload.resize(h.length - kHeaderSize);
        if (!payload.empty() && !in_->read(payload.data(), payload.size()))
            return std::nullopt;
        if (tlsForLoginOnly_) {
            // Only the login's first packet was encrypted; the client has left TLS behind.
            tlsForLoginOnly_ = false;
            in_ = &plain_;
            tls_.reset();
        }
        if (std::optional<Message> m = assembler.add(h, payload))
            return m;
    }
    return std::nullopt;
}

void Connection::readerLoop() {
    MessageAssembler assembler;
    try {
        while (std::optional<Message> m = readMessage(assembler)) {
            if (m->type == kAttention)
                cancel_ = true;
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(m));
            cv_.notify_one();
        }
    } catch (const ProtocolError&) {
    }
    cancel_ = true; // nobody is left to read what a running request produces
    std::lock_guard lock(mutex_);
    queue_.push_back(std::nullopt);
    cv_.notify_one();
}

std::optional<Message> Connection::pop() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !queue_.empty(); });
    std::optional<Message> m = std::move(queue_.front());
    queue_.pop_front();
    return m;
}

bool Connection::emit() {
    auto& buf = tokens_.out().data();
    bool ok = writer_.append(buf);
    tokens_.out().clear();
    return ok;
}

bool Connection::endMessage() {
    if (dropped_)
        return false;
    emit();
    return writer_.endMessage();
}

bool Connection::handle(const Message& m) {
    // Every request pays the round trip once, whatever its answer holds.
    link_.beginAnswer();
    if (m.type == kAttention) {
        acknowledgeAttention();
        return true;
    }
    if (!loggedIn_) {
        switch (m.type) {
        case kPrelogin:
            return handlePrelogin(m);
        case kLogin7:
            return handleLogin(m);
        case kSspi:
            return awaitingSspi_ && handleSspi(m);
        default:
            return false;
        }
    }
    if (m.status & (kStatusResetConnection | kStatusResetConnectionSkipTran)) {
        ServerMessage error;
        if (!resetSession(error)) {
            tokens_.message(error, settings_.serverName);
            tokens_.done(kTokDone, kDoneError, 0, 0);
            endMessage();
            return false;
        }
        // The acknowledgement leads the response to the request that asked for it.
        tokens_.out().u8(kTokEnvChange);
        tokens_.out().u16(3);
        tokens_.out().u8(kEnvResetAck);
        tokens_.out().u8(0);
        tokens_.out().u8(0);
        emit();
    }
    switch (m.type) {
    case kSqlBatch:
        handleBatch(m);
        return true;
    case kRpc:
        handleRpc(m);
        return true;
    case kTransactionManager:
        handleTransaction(m);
        return true;
    default:
        return false;
    }
}

bool Connection::handlePrelogin(const Message& m) {
    const PreloginRequest request = parsePrelogin(m.payload);
    const TlsOffer offer = !settings_.tls          ? TlsOffer::None
                           : settings_.tlsRequired ? TlsOffer::Required
                                                   : TlsOffer::Available;
    const uint8_t encryption = answerEncryption(request, offer);
    ProductVersion v = parseProductVersion(settings_.productVersion);
    uint32_t ver =
        (static_cast<uint32_t>(v.major) << 24) | (static_cast<uint32_t>(v.minor) << 16) | v.build;
    tokens_.out().bytes(buildPreloginResponse(ver, encryption));
    if (!endMessage())
        return false;
    if (encryption == kEncryptNotSup)
        return true;
    // The server insists on TLS and the client cannot: it has been told, and that is all.
    if (encryption == kEncryptReq)
        return false;
    std::string error;
    drainLink(); // the PRELOGIN answer goes before the handshake's first byte
    tls_ = TlsTransport::accept(socket_.get(), *settings_.tls, error);
    if (!tls_)
        return false;
    in_ = tls_.get();
    if (encryption == kEncryptOn)
        out_ = tls_.get();
    else
        tlsForLoginOnly_ = true;
    return true;
}

bool Connection::handleLogin(const Message& m) {
    Login7 login = parseLogin7(m.payload);
    tokens_ = TokenWriter(negotiateTdsVersion(login.tdsVersion));
    if (login.packetSize >= 512)
        writer_.setPacketSize(login.packetSize);
    requestedDatabase_ = login.database;
    if (settings_.faults.refuseThisLogin())
        return refuseLogin(loginFailed(login.userName), login.userName);

    bool integrated = login.integratedSecurity() || login.userName.empty();
    if (integrated) {
        if (!settings_.credentials.allowIntegrated()) {
            ServerMessage m18452;
            m18452.number = 18452;
            m18452.severity = 14;
            m18452.text = "Login failed. The login is from an untrusted domain and cannot be "
                          "used with Windows authentication.";
            return refuseLogin(m18452, "");
        }
        loginName_.clear();
        integratedLogin_ = true;
        if (isNtlmNegotiate(login.sspi)) {
            // The client proves nothing we could check; one challenge round satisfies it.
            tokens_.sspi(buildNtlmChallenge());
            awaitingSspi_ = true;
            return endMessage();
        }
        return completeLogin();
    }
    if (!settings_.credentials.check(login.userName, login.password))
        return refuseLogin(loginFailed(login.userName), login.userName);
    loginName_ = login.userName;
    return completeLogin();
}

bool Connection::handleSspi(const Message& m) {
    (void)m;
    awaitingSspi_ = false;
    return completeLogin();
}

bool Connection::refuseLogin(const ServerMessage& first, const std::string& userName) {
    tokens_.message(first, settings_.serverName);
    if (first.number != 18456 && first.number != 18452)
        tokens_.message(loginFailed(userName), settings_.serverName);
    tokens_.done(kTokDone, kDoneError, 0, 0);
    endMessage();
    return false;
}

bool Connection::completeLogin() {
    ServerMessage error;
    session_ = sessions_.openSession(loginName_, requestedDatabase_, error, connectionFacts());
    if (!session_)
        return refuseLogin(error, loginName_);
    // From here on the packets' headers carry the session's id, as SQL Server's do.
    writer_.setSpid(static_cast<uint16_t>(session_->sessionId()));
    std::string db = session_->currentDatabase();
    tokens_.envChange(kEnvDatabase, db, "master");
    ServerMessage info;
    info.number = 5701;
    info.severity = 0;
    info.state = 2;
    info.text = "Changed database context to '" + db + "'.";
    tokens_.message(info, settings_.serverName);
    tokens_.envCollation();
    tokens_.envChange(kEnvLanguage, "us_english", "");
    info.number = 5703;
    info.state = 1;
    info.text = "Changed language setting to us_english.";
    tokens_.message(info, settings_.serverName);
    tokens_.loginAck("Microsoft SQL Server", parseProductVersion(settings_.productVersion));
    tokens_.envChange(kEnvPacketSize, std::to_string(writer_.packetSize()),
                      std::to_string(writer_.packetSize()));
    tokens_.done(kTokDone, kDoneFinal, 0, 0);
    loggedIn_ = true;
    return endMessage();
}

ConnectionFacts Connection::connectionFacts() const {
    ConnectionFacts facts;
    // A login encrypted alone has left TLS behind by now, as the client has.
    facts.encrypted = tls_ && out_ == tls_.get();
    facts.authScheme = integratedLogin_ ? "NTLM" : "SQL";
    facts.packetSize = static_cast<int>(writer_.packetSize());
    const Endpoint client = peerEndpoint(socket_.get());
    const Endpoint local = localEndpoint(socket_.get());
    facts.clientAddress = client.address;
    facts.clientPort = client.port;
    facts.localAddress = local.address;
    facts.localPort = local.port;
    return facts;
}

bool Connection::resetSession(ServerMessage& error) {
    prepared_.clear();
    return session_->reset(error);
}

bool Connection::stall(const std::string& sql) {
    using Clock = std::chrono::steady_clock;
    if (!settings_.faults.stalls(sql))
        return !cancel_;
    auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(settings_.faults.stallSeconds));
    while (!cancel_) {
        auto now = Clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(until - now, std::chrono::milliseconds(10)));
    }
    return false;
}

void Connection::dropConnection() {
    // Whole rows already promised go out first, so the client sees the cut where it was asked.
    emit();
    writer_.sendBuffered();
    drainLink();
    dropped_ = true;
    ::shutdown(socket_.get(), SHUT_RDWR);
}

void Connection::acknowledgeAttention() {
    tokens_.done(kTokDone, kDoneAttn, 0, 0);
    endMessage();
    cancel_ = false;
}

void Connection::handleBatch(const Message& m) {
    std::string sql = parseSqlBatch(m.payload, tokens_.version());
    if (settings_.log)
        settings_.log->write(session_->currentDatabase(), loginName_, sql);
    // A cancelled wait is answered by the attention's acknowledgement alone.
    if (!stall(sql))
        return;
    WireSink sink(*this, false);
    try {
        session_->executeBatch(sql, sink, cancel_);
    } catch (const std::exception& e) {
        ServerMessage err;
        err.number = 50000;
        err.text = std::string("Internal error: ") + e.what();
        sink.message(err);
    }
    sink.finishBatch();
    // After a cancel the DONE that acknowledges it ends the message instead.
    if (!cancel_)
        endMessage();
}

void Connection::handleRpc(const Message& m) {
    std::vector<RpcCall> calls;
    try {
        calls = parseRpc(m.payload, tokens_.version());
    } catch (const ProtocolError& e) {
        // The message boundary is intact, so the client can be told and carry on.
        ServerMessage err;
        err.number = 8016;
        err.text = "The incoming tabular data stream (TDS) remote procedure call (RPC) protocol "
                   "stream is incorrect. " +
                   std::string(e.what()) + ".";
        tokens_.message(err, settings_.serverName);
        tokens_.done(kTokDone, kDoneError, 0, 0);
        endMessage();
        return;
    }
    bool onlyResets = true;
    std::string statements;
    for (const auto& call : calls) {
        onlyResets &= lowerAscii(call.procName) == "sp_reset_connection";
        statements += call.procName + "\n";
        if (const RpcParam* stmt = statementParam(call.procName, call.params))
            statements += stmt->value.text + "\n";
    }
    if (!onlyResets && !stall(statements))
        return;
    for (size_t k = 0; k < calls.size(); ++k) {
        const RpcCall& call = calls[k];
        // The reset is the driver's housekeeping, not a statement the client wrote.
        if (settings_.log && lowerAscii(call.procName) != "sp_reset_connection") {
            std::string text = call.procName;
            if (const RpcParam* stmt = statementParam(call.procName, call.params))
                text += " " + stmt->value.text;
            settings_.log->write(session_->currentDatabase(), loginName_, text);
        }
        runCall(call, k + 1 < calls.size());
    }
    if (!cancel_)
        endMessage();
}

void Connection::runCall(const RpcCall& call, bool moreCalls) {
    WireSink sink(*this, true);
    std::string name = lowerAscii(call.procName);
    const auto& p = call.params;
    auto text = [&p](size_t i) { return i < p.size() ? p[i].value.text : std::string(); };
    auto runSql = [&](const std::string& stmt, size_t first, const std::string& decl) {
        session_->executeBatch(substituteParams(stmt, bindParams(p, first, decl)), sink, cancel_);
    };
    try {
        if (name == "sp_executesql") {
            runSql(text(0), 2, text(1));
        } else if (name == "sp_prepare" || name == "sp_prepexec") {
            int32_t handle = nextHandle_++;
            prepared_[handle] = Prepared{text(1), text(2)};
            sink.outputHandle(1, p.empty() ? "@handle" : p[0].name, handle);
            if (name == "sp_prepexec")
                runSql(text(2), 3, text(1));
        } else if (name == "sp_reset_connection") {
            ServerMessage error;
            if (!resetSession(error))
                sink.message(error);
        } else if (name == "sp_execute" || name == "sp_unprepare") {
            auto handle = static_cast<int32_t>(p.empty() ? 0 : p[0].value.i);
            auto it = prepared_.find(handle);
            if (it == prepared_.end()) {
                ServerMessage err;
                err.number = 8179;
                err.text =
                    "Could not find prepared statement with handle " + std::to_string(handle) + ".";
                sink.message(err);
            } else if (name == "sp_execute") {
                Prepared prep = it->second;
                runSql(prep.statement, 1, prep.declaration);
            } else {
                prepared_.erase(it);
            }
        } else {
            session_->executeRpc(call.procName, call.params, sink, cancel_);
        }
    } catch (const std::exception& e) {
        ServerMessage err;
        err.number = 50000;
        err.text = std::string("Internal error: ") + e.what();
        sink.message(err);
    }
    sink.finishProc(moreCalls);
}

void Connection::handleTransaction(const Message& m) {
    // The engine runs every statement on its own; begin/commit/rollback requests are
    // acknowledged so clients that switch autocommit off keep working.
    size_t off = skipAllHeaders(m.payload, tokens_.version());
    ByteReader r(std::span<const uint8_t>(m.payload).subspan(off));
    uint16_t request = r.u16();
    ByteWriter body;
    uint8_t descriptor[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    uint8_t envType = request == 5 ? 8 : request == 7 ? 9 : request == 8 ? 10 : 0;
    if (envType) {
        body.u8(envType);
        if (envType == 8) {
            body.u8(8);
            body.bytes(std::span<const uint8_t>(descriptor, 8));
            body.u8(0);
        } else {
            body.u8(0);
            body.u8(8);
            body.bytes(std::span<const uint8_t>(descriptor, 8));
        }
        tokens_.out().u8(kTokEnvChange);
        tokens_.out().u16(static_cast<uint16_t>(body.size()));
        tokens_.out().bytes(body.data());
    }
    tokens_.done(kTokDone, kDoneFinal, 0, 0);
    endMessage();
}

} // namespace sqlsim::wire
