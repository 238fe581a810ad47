// One client connection of the TDS server, from PRELOGIN to disconnection: encryption,
// login against the data directory's logins, then SQL batches, RPC calls and transaction
// requests run on the connection's own engine session.
//
// Two threads serve a connection once it has logged in: the worker (the thread that called
// run()) executes requests one at a time and writes their responses; a reader thread takes
// the client's packets as they arrive, so that an ATTENTION cancels the running request at
// once. A connection that breaks the protocol, vanishes or is shut down ends: its session is
// closed, which rolls back an open transaction.
//
// What one peer can hold of the server is bounded: a message before the login (a few
// kilobytes in any real client) and after it (ServerSettings::maxMessageBytes), requests
// queued behind the running one, and responses the client has not read. Responses are
// written while the engine holds its lock for every session (messages and row counts), so
// those writes never wait for the client: a client that stops reading has its unread output
// kept up to maxUnsentBytes, and then its connection is closed, instead of the whole server
// waiting for it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/session.h"
#include "server/channel.h"
#include "server/response_writer.h"
#include "server/tds/login7.h"
#include "server/tds/packet.h"
#include "server/tds/requests.h"
#include "server/tls.h"

namespace tds {

struct ServerSettings {
    std::filesystem::path dataDirectory;
    std::string serverName;             // as messages and @@SERVERNAME name the server
    const TlsContext* tls = nullptr;    // null: encryption is not supported
    size_t maxMessageBytes = size_t(64) << 20;  // a request, once logged in
    size_t maxUnsentBytes = size_t(32) << 20;   // output a client leaves unread
    int loginTimeoutSeconds = 60;
    // Clock and random seed of the engine sessions (tests fix them).
    engine::SessionOptions sessionOptions;
};

class Connection {
  public:
    using Log = std::function<void(const std::string& line)>;

    Connection(int fd, std::string peer, uint64_t id, const ServerSettings& settings, Log log);
    ~Connection();

    // Serves the connection until it ends.
    void run();
    // From another thread: cancels the running request and ends the connection.
    void shutdown();

  private:
    struct Prepared {
        std::string declarations;
        std::string statement;
    };

    bool logIn();
    void negotiateEncryption(const Message& prelogin, bool& encryptSession);
    Message readMessageDirect();
    void sendLoginErrors(const std::vector<engine::SqlMessage>& messages);
    bool openSession(const Login7& login);
    void sendLoginAck(const Login7& login, const std::vector<engine::SqlMessage>& opening);

    void serve();
    void readerLoop();
    void handle(const Message& message);
    void runBatch(const Message& message);
    void runRpc(const Message& message);
    void runTransactionRequest(const Message& message);
    void resetConnection();
    void callProcedure(const RpcCall& call, bool last);
    void executeSql(const RpcCall& call, size_t firstArgument, const std::string& statement,
                    const std::string& declarations, std::optional<int32_t> preparedHandle);
    void finishResponse();
    void flushOutput(bool wait);
    // Ends the response to a request; a cancelled one is followed by the acknowledgement.
    void endResponse();
    void acknowledgeAttention();
    bool attentionArrived() const { return attentions_.load() != attentionsAnswered_; }
    bool attentionPending();
    // Brackets a request's run on the session; false when it must not run (the client
    // cancelled it before it started, or went away).
    bool startRequest();
    void endRequest();
    // From the reader: stops the request that runs, if any (see readerLoop()).
    void cancelRequest(bool peerGone);

    std::string peer_;
    uint64_t id_;
    const ServerSettings& settings_;
    Log log_;
    Channel channel_;
    MessageAssembler assembler_;
    WireFeatures features_;
    std::string login_;
    std::string loginDatabase_;
    std::string language_;

    // The reader cancels through it while the worker runs; only the worker changes session_.
    // Never held while calling into the engine (except cancel()).
    std::mutex sessionMutex_;
    std::unique_ptr<engine::Session> session_;
    bool running_ = false;   // a request runs on the session (under sessionMutex_)
    bool peerGone_ = false;  // the client went away or broke the protocol (same)
    std::condition_variable requestEnded_;

    // Packets out: a buffer of whole packets, written in large pieces.
    std::string outBuffer_;
    bool broken_ = false;
    std::unique_ptr<PacketStream> stream_;
    std::unique_ptr<ResponseWriter> writer_;

    // Requests in, from the reader thread.
    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<Message> queue_;
    size_t queuedBytes_ = 0;
    bool readerDone_ = false;
    std::string readerEnd_;
    std::atomic<uint64_t> attentions_{0};
    uint64_t attentionsAnswered_ = 0;
    std::atomic<bool> stopping_{false};  // the connection is ending (the reader must go)
    std::atomic<bool> shutDown_{false};  // because the server stops

    std::map<int32_t, Prepared> prepared_;
    int32_t nextHandle_ = 1;
    std::string closeReason_;
};

}  // namespace tds
