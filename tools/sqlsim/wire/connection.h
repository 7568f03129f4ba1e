// One client connection: the login handshake, then requests until the client leaves.
// The connection's own thread runs requests; a reader thread takes packets off the socket
// so an ATTENTION is noticed while the engine is still busy with the request it cancels.
#pragma once

#include "engine/engine.h"
#include "wire/auth.h"
#include "wire/faults.h"
#include "wire/link.h"
#include "wire/link_sender.h"
#include "wire/login.h"
#include "wire/net.h"
#include "wire/packet.h"
#include "wire/provider.h"
#include "wire/request.h"
#include "wire/statement_log.h"
#include "wire/tls.h"
#include "wire/tokens.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace sqlsim::wire {

struct ServerSettings {
    Credentials credentials;
    std::string productVersion = "10.50.1600.1";
    std::string serverName = "SQLSIM";
    StatementLog* log = nullptr;
    Faults faults;
    LinkSettings link;
    // The certificate the server offers TLS with; null: it offers none.
    const TlsCredentials* tls = nullptr;
    // Refuse clients that cannot encrypt and encrypt every session, as a server set to force
    // encryption does.
    bool tlsRequired = false;
};

class Connection {
public:
    Connection(Fd socket, SessionProvider& sessions, const ServerSettings& settings);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Serves the client until it disconnects, fails the login or breaks the protocol.
    void run();
    // Ends the connection from another thread (server shutdown).
    void shutdown();

private:
    friend class WireSink;
    struct Prepared {
        std::string declaration;
        std::string statement;
    };

    // PRELOGIN, TLS handshake and login, read on this thread before requests start; false
    // when the client did not end up logged in.
    bool loginPhase();
    void readerLoop();
    // The next whole message off the wire; nothing at the end of the stream.
    std::optional<Message> readMessage(MessageAssembler& assembler);
    std::optional<Message> pop();
    bool handle(const Message& m);
    bool handlePrelogin(const Message& m);
    bool handleLogin(const Message& m);
    bool handleSspi(const Message& m);
    bool completeLogin();
    // What sys.dm_exec_connections shows of this connection once the login is done.
    ConnectionFacts connectionFacts() const;
    bool refuseLogin(const ServerMessage& first, const std::string& userName);
    void handleBatch(const Message& m);
    void handleRpc(const Message& m);
    void handleTransaction(const Message& m);
    void acknowledgeAttention();
    // Waits as long as the stall fault asks for a request with this statement text; false when
    // an attention cut the wait short.
    bool stall(const std::string& sql);
    // Sends bytes of the current answer when the simulated link would have carried them.
    bool send(std::span<const uint8_t> bytes);
    // Waits until the link has carried every byte sent so far: before the socket is closed
    // or taken over by a TLS handshake.
    void drainLink();
    // Sends what the client has been promised so far and closes the socket under it.
    void dropConnection();
    // Puts the session back as it was after login, as a pooled connection expects before it
    // is handed out again.
    bool resetSession(ServerMessage& error);
    // Moves the tokens built so far into the outgoing packet stream.
    bool emit();
    bool endMessage();
    void runCall(const RpcCall& call, bool moreCalls);

    Fd socket_;
    // Every byte in and out passes through these: the socket itself, or the TLS session the
    // PRELOGIN negotiated (for the login packet only, or for the whole session).
    PlainTransport plain_;
    std::unique_ptr<TlsTransport> tls_;
    Transport* in_ = &plain_;
    Transport* out_ = &plain_;
    bool tlsForLoginOnly_ = false;
    SessionProvider& sessions_;
    const ServerSettings& settings_;
    LinkSchedule link_;
    // Created with the first bytes of a shaped link.
    std::unique_ptr<LinkSender> linkSender_;
    PacketWriter writer_;
    TokenWriter tokens_{kTds74};
    std::unique_ptr<Session> session_;
    std::string loginName_;
    std::string requestedDatabase_;
    bool loggedIn_ = false;
    bool awaitingSspi_ = false;
    bool integratedLogin_ = false;
    bool dropped_ = false;
    std::map<int32_t, Prepared> prepared_;
    int32_t nextHandle_ = 1;

    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::optional<Message>> queue_;
    std::thread reader_;
};

} // namespace sqlsim::wire
