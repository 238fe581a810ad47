#include "server/connection.h"

#include <semaphore>
#include <thread>

#include "engine/types/collation.h"
#include "server/tds/prelogin.h"
#include "server/tds/tokens.h"

namespace tds {

namespace {

constexpr const char* kProgramName = "tds-server";
constexpr uint8_t kVersionMajor = 15, kVersionMinor = 0;
constexpr uint16_t kVersionBuild = 2000;
constexpr size_t kFlushBytes = 64 * 1024;
// PRELOGIN, the TLS handshake and LOGIN7 take a few kilobytes from any real client; a peer
// that has not logged in gets no more than this for any one message.
constexpr size_t kLoginMessageBytes = 128 * 1024;
// Clients wait for a response before they send the next request, so a queue only ever holds
// what a misbehaving one pipelines: a few small requests, or one large one.
constexpr size_t kMaxQueuedRequests = 16;
constexpr size_t kMaxQueuedBytes = 1024 * 1024;
// How often the reader repeats a cancel while the request it is meant for still runs.
constexpr auto kCancelRepeat = std::chrono::milliseconds(20);

uint32_t negotiatedVersion(uint32_t asked) {
    if (asked >= kTds74) return kTds74;
    if (asked >= 0x730A0003) return asked >= kTds73 ? kTds73 : 0x730A0003;
    if (asked >= kTds72) return kTds72;
    return kTds71;
}

engine::SqlMessage plainError(int number, const std::string& text, int severity = 16) {
    engine::SqlMessage m;
    m.number = number;
    m.severity = severity;
    m.state = 1;
    m.line = 1;
    m.text = text;
    return m;
}

// A parameter name from the client goes into statement text: only a variable name will do.
bool isParameterName(std::string_view name) {
    if (name.size() < 2 || name.size() > 128 || name[0] != '@') return false;
    for (unsigned char c : name.substr(1)) {
        if (!(std::isalnum(c) || c == '_' || c == '@' || c == '#' || c == '$' || c >= 0x80))
            return false;
    }
    return true;
}

// "[master].[dbo].[sp_columns]" from "master..sp_columns" or "dbo.sp_columns".
std::string quotedProcedureName(std::string_view name, std::string& last) {
    std::vector<std::string> parts(1);
    bool bracket = false;
    for (char c : name) {
        if (c == '[' && !bracket) {
            bracket = true;
        } else if (c == ']' && bracket) {
            bracket = false;
        } else if (c == '.' && !bracket) {
            parts.emplace_back();
        } else {
            parts.back().push_back(c);
        }
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '.';
        if (parts[i].empty()) continue;  // "master..sp_x"
        out += '[';
        for (char c : parts[i]) {
            out += c;
            if (c == ']') out += ']';
        }
        out += ']';
    }
    last = parts.back();
    return out;
}

// A password check costs megabytes of memory and milliseconds of a core on purpose, and
// anyone who can reach the port may ask for one: a few at a time, whatever the number of
// connections, and the others wait their turn. (One server per process: process-wide.)
class PasswordCheck {
  public:
    PasswordCheck() { slots().acquire(); }
    ~PasswordCheck() { slots().release(); }
    PasswordCheck(const PasswordCheck&) = delete;
    PasswordCheck& operator=(const PasswordCheck&) = delete;

  private:
    static std::counting_semaphore<>& slots() {
        static std::counting_semaphore<> s(
            std::max<std::ptrdiff_t>(2, std::thread::hardware_concurrency()));
        return s;
    }
};

std::string lowerAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

Connection::Connection(int fd, std::string peer, uint64_t id, const ServerSettings& settings,
                       Log log)
    : peer_(std::move(peer)),
      id_(id),
      settings_(settings),
      log_(std::move(log)),
      channel_(fd),
      assembler_(kLoginMessageBytes) {}

Connection::~Connection() = default;

void Connection::shutdown() {
    shutDown_ = true;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        stopping_ = true;
    }
    {
        std::lock_guard<std::mutex> guard(sessionMutex_);
        if (session_) session_->cancel();
    }
    channel_.shutdown();
    queueChanged_.notify_all();
}

void Connection::run() {
    std::string prefix = "connection " + std::to_string(id_) + " from " + peer_;
    bool opened = false;
    try {
        opened = logIn();
        if (opened) {
            log_(prefix + ": opened (login '" + login_ + "', database '" +
                 session_->currentDatabase() + "')");
            serve();
        }
    } catch (const ProtocolError& e) {
        closeReason_ = std::string("protocol error: ") + e.what();
    } catch (const ConnectionClosed& e) {
        if (closeReason_.empty()) {
            closeReason_ = e.what();
            if (!assembler_.idle()) closeReason_ += ", in the middle of a message";
        }
    } catch (const std::exception& e) {
        closeReason_ = std::string("internal error: ") + e.what();
    }
    // The client learns at once that the connection is over, whatever is left to tidy up.
    channel_.shutdown();
    // Closing takes the engine's lock, which is never taken with sessionMutex_ held (the
    // engine calls back into this connection under its lock, and those callbacks may cancel).
    std::unique_ptr<engine::Session> closing;
    {
        std::lock_guard<std::mutex> guard(sessionMutex_);
        closing = std::move(session_);
    }
    if (closing) closing->close();  // rolls back a transaction left open
    // Whatever else broke meanwhile (a write cut short, a read woken) came from the stop.
    if (shutDown_) closeReason_ = "server stopping";
    if (opened) {
        log_("connection " + std::to_string(id_) + ": closed (" +
             (closeReason_.empty() ? std::string("client disconnected") : closeReason_) + ")");
    } else {
        log_(prefix + ": refused (" + (closeReason_.empty() ? "no login" : closeReason_) + ")");
    }
}

// --- login ------------------------------------------------------------------------------

Message Connection::readMessageDirect() {
    for (;;) {
        if (auto m = assembler_.next()) return std::move(*m);
        assembler_.feed(channel_.read());
    }
}

void Connection::sendLoginErrors(const std::vector<engine::SqlMessage>& messages) {
    // All in one response, ended by one DONE, as SQL Server refuses a login (4060 with 18456).
    ByteWriter w;
    for (const auto& m : messages)
        writeMessage(w, m, settings_.serverName);
    writeDone(w, DoneKind::Done, kDoneError, kCommandNone, 0, features_);
    channel_.write(packetsOf(PacketType::TabularResult, w.bytes()));
}

void Connection::negotiateEncryption(const Message& prelogin, bool& encryptSession) {
    PreLoginRequest request = parsePreLogin(prelogin.payload);
    EncryptionChoice choice = chooseEncryption(request.encryption, settings_.tls != nullptr);
    PreLoginReply reply;
    reply.encryption = choice.reply;
    reply.major = kVersionMajor;
    reply.minor = kVersionMinor;
    reply.build = kVersionBuild;
    channel_.write(packetsOf(PacketType::TabularResult, buildPreLoginReply(reply)));
    if (choice.refuse) throw ConnectionClosed("the client requires encryption, which is not supported");
    encryptSession = choice.encryptSession;
    if (!choice.encryptLogin) return;
    // The TLS handshake travels inside PRELOGIN packets, both ways.
    auto tls = std::make_unique<TlsSession>(*settings_.tls);
    try {
        while (!tls->established()) {
            Message m = readMessageDirect();
            if (m.type != PacketType::PreLogin) throw ProtocolError("TLS handshake expected");
            std::string out = tls->handshake(m.payload);
            if (!out.empty()) channel_.write(packetsOf(PacketType::PreLogin, out));
        }
    } catch (const std::runtime_error& e) {
        if (dynamic_cast<const ProtocolError*>(&e)) throw;
        throw ConnectionClosed(e.what());
    }
    if (!assembler_.idle()) throw ProtocolError("data after the TLS handshake");
    channel_.startTls(std::move(tls));
}

bool Connection::logIn() {
    channel_.setReadTimeout(settings_.loginTimeoutSeconds);
    Message first = readMessageDirect();
    bool encryptSession = false;
    bool encrypted = false;
    if (first.type == PacketType::PreLogin) {
        negotiateEncryption(first, encryptSession);
        encrypted = settings_.tls != nullptr;
        first = readMessageDirect();
    }
    if (first.type != PacketType::Login7) throw ProtocolError("LOGIN7 expected");
    if (encrypted && !encryptSession) channel_.stopTls();  // the login alone was encrypted
    Login7 login = parseLogin7(first.payload);
    features_.version = negotiatedVersion(login.tdsVersion);
    if (login.tdsVersion < kTds71) {
        sendLoginErrors({plainError(18456, "Login failed for user '" + login.userName +
                                               "'. TDS 7.1 or later is required.", 14)});
        closeReason_ = "TDS version older than 7.1";
        return false;
    }
    login_ = login.userName;
    if (login.integratedSecurity || (login.userName.empty() && login.hasSspi)) {
        sendLoginErrors({engine::sqlMessage(18452)});
        closeReason_ = "integrated security is not supported";
        return false;
    }
    engine::LoginResult result;
    {
        PasswordCheck slot;
        result =
            engine::Session::authenticate(settings_.dataDirectory, login.userName, login.password);
    }
    if (!result.ok) {
        sendLoginErrors(result.messages);
        closeReason_ = result.messages.empty() ? "login failed" : result.messages.front().text;
        return false;
    }
    loginDatabase_ = !login.database.empty() ? login.database
                     : !result.defaultDatabase.empty() ? result.defaultDatabase
                                                       : std::string("master");
    // The client's language, or else the login's default one, as SQL Server chooses.
    language_ = !login.language.empty() ? login.language : result.defaultLanguage;
    if (!openSession(login)) return false;
    channel_.setReadTimeout(0);
    assembler_.setMaxMessageBytes(settings_.maxMessageBytes);
    return true;
}

bool Connection::openSession(const Login7& login) {
    engine::SessionOptions options = settings_.sessionOptions;
    options.createDataDirectory = false;
    options.login = login_;
    if (!language_.empty()) options.language = language_;
    engine::Session::Opened opened = engine::Session::open(settings_.dataDirectory, loginDatabase_, options);
    if (!opened.session) {
        std::vector<engine::SqlMessage> refusal = opened.messages;
        refusal.push_back(engine::sqlMessage(18456, {login_, "", ""}));
        sendLoginErrors(refusal);
        closeReason_ = opened.messages.empty() ? "cannot open the database" : opened.messages.front().text;
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(sessionMutex_);
        session_ = std::move(opened.session);
    }
    uint32_t packetSize = login.packetSize == 0 ? kDefaultPacketSize : login.packetSize;
    packetSize = std::clamp(packetSize, kMinPacketSize, kMaxPacketSize);
    stream_ = std::make_unique<PacketStream>(
        [this](std::string_view packet) {
            if (broken_) return;
            outBuffer_.append(packet);
            if (outBuffer_.size() < kFlushBytes) return;
            flushOutput(!writer_ || writer_->mayBlock());
        },
        packetSize);
    writer_ = std::make_unique<ResponseWriter>(*stream_, features_, settings_.serverName);
    writer_->setCancelled([this] { return attentionArrived(); });
    sendLoginAck(login, opened.messages);
    return true;
}

void Connection::sendLoginAck(const Login7& login, const std::vector<engine::SqlMessage>& opening) {
    const std::string database = session_->currentDatabase();
    ByteWriter w;
    writeEnvChangeText(w, EnvChange::Database, database, "master");
    for (const auto& m : opening) {
        if (m.number == 5701) writeMessage(w, m, settings_.serverName);
    }
    writeEnvChangeCollation(w);
    for (const auto& m : opening) {
        if (m.number == 5703) {
            // The message names the language as the session took it.
            std::string language = m.text;
            const size_t to = language.rfind(" to ");
            if (to != std::string::npos) language = language.substr(to + 4);
            if (!language.empty() && language.back() == '.') language.pop_back();
            writeEnvChangeText(w, EnvChange::Language, language, "");
            writeMessage(w, m, settings_.serverName);
        }
    }
    writeLoginAck(w, features_.version, kProgramName, kVersionMajor, kVersionMinor, kVersionBuild);
    if (!login.featureIds.empty()) writeFeatureExtAck(w);
    const std::string size = std::to_string(stream_->packetSize());
    writeEnvChangeText(w, EnvChange::PacketSize, size, size);
    writeDone(w, DoneKind::Done, kDoneFinal, kCommandNone, 0, features_);
    // Sent in packets of the size the client had before the login.
    channel_.write(packetsOf(PacketType::TabularResult, w.bytes()));
    writer_->setCurrentDatabase(database);
}

// --- requests ---------------------------------------------------------------------------

void Connection::readerLoop() {
    std::string reason;
    try {
        for (;;) {
            assembler_.feed(channel_.read());
            while (auto m = assembler_.next()) {
                if (m->type == PacketType::Attention) {
                    cancelRequest(false);
                    // The worker waits on the queue's mutex: take it, so that it cannot miss
                    // the attention between looking at the counter and going to sleep.
                    { std::lock_guard<std::mutex> lock(queueMutex_); }
                    queueChanged_.notify_all();
                    continue;
                }
                std::unique_lock<std::mutex> lock(queueMutex_);
                const size_t size = m->payload.size();
                queueChanged_.wait(lock, [&] {
                    return stopping_ || queue_.empty() ||
                           (queue_.size() < kMaxQueuedRequests &&
                            queuedBytes_ + size <= kMaxQueuedBytes);
                });
                if (stopping_) throw ConnectionClosed("server stopping");
                queuedBytes_ += size;
                queue_.push_back(std::move(*m));
                queueChanged_.notify_all();
            }
        }
    } catch (const ProtocolError& e) {
        reason = std::string("protocol error: ") + e.what();
    } catch (const ConnectionClosed& e) {
        reason = e.what();
        if (!assembler_.idle()) reason += ", in the middle of a message";
    } catch (const std::exception& e) {
        reason = std::string("internal error: ") + e.what();
    }
    // Nobody is left to read a response: the running request ends, and no queued one starts.
    cancelRequest(true);
    std::lock_guard<std::mutex> lock(queueMutex_);
    readerDone_ = true;
    readerEnd_ = reason;
    queueChanged_.notify_all();
}

void Connection::cancelRequest(bool peerGone) {
    std::unique_lock<std::mutex> lock(sessionMutex_);
    if (peerGone) {
        peerGone_ = true;
    } else {
        ++attentions_;
    }
    // A request that has not started will not (see startRequest()). One that has may be
    // just inside the engine's call, which forgets a cancel that came before the call
    // began (it cannot tell it from a late cancel of the call before): so cancel again
    // until the request is over.
    while (running_) {
        if (session_) session_->cancel();
        requestEnded_.wait_for(lock, kCancelRepeat);
    }
}

bool Connection::startRequest() {
    std::lock_guard<std::mutex> guard(sessionMutex_);
    if (peerGone_ || attentions_.load() != attentionsAnswered_) return false;
    running_ = true;
    return true;
}

void Connection::endRequest() {
    {
        std::lock_guard<std::mutex> guard(sessionMutex_);
        running_ = false;
    }
    requestEnded_.notify_all();
}

void Connection::serve() {
    std::thread reader([this] { readerLoop(); });
    try {
        for (;;) {
            std::optional<Message> next;
            {
                std::unique_lock<std::mutex> lock(queueMutex_);
                queueChanged_.wait(lock, [&] {
                    return !queue_.empty() || readerDone_ || stopping_ ||
                           attentions_.load() > attentionsAnswered_;
                });
                if (stopping_) break;
                if (!queue_.empty()) {
                    next = std::move(queue_.front());
                    queue_.pop_front();
                    queuedBytes_ -= next->payload.size();
                    queueChanged_.notify_all();
                } else if (readerDone_) {
                    closeReason_ = readerEnd_;
                    break;
                }
            }
            if (next) {
                handle(*next);
            } else if (attentionPending()) {
                // An attention with nothing running (it came after the response).
                acknowledgeAttention();
            }
            if (broken_) break;
        }
    } catch (...) {
        channel_.shutdown();
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            stopping_ = true;
        }
        queueChanged_.notify_all();
        reader.join();
        throw;
    }
    channel_.shutdown();
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        stopping_ = true;
    }
    queueChanged_.notify_all();
    reader.join();
}

bool Connection::attentionPending() {
    const uint64_t seen = attentions_.load();
    if (seen == attentionsAnswered_) return false;
    attentionsAnswered_ = seen;
    return true;
}

void Connection::finishResponse() {
    stream_->finish();
    flushOutput(true);
}

void Connection::flushOutput(bool wait) {
    if (broken_) {
        outBuffer_.clear();
        return;
    }
    try {
        if (wait) {
            channel_.write(outBuffer_);
        } else {
            channel_.writeSome(outBuffer_);
            if (channel_.unsent() > settings_.maxUnsentBytes) {
                throw ConnectionClosed("the client does not read its results (more than " +
                                       std::to_string(settings_.maxUnsentBytes >> 20) +
                                       " MB left unread)");
            }
        }
    } catch (const ConnectionClosed& e) {
        broken_ = true;
        closeReason_ = e.what();
        // Often under the engine's lock: no sessionMutex_ here (see run()). The worker is
        // the one thread that changes session_, so it may use it without.
        if (session_) session_->cancel();
    }
    outBuffer_.clear();
}

// A cancelled request's response ends as it stands, and the acknowledgement follows in a
// message of its own, as SQL Server sends them: tedious looks for it only in the message
// after the response; clients that read tokens across messages find it either way.
void Connection::endResponse() {
    const bool attention = attentionPending();
    finishResponse();
    if (attention) acknowledgeAttention();
}

void Connection::acknowledgeAttention() {
    writer_->begin(false);
    writer_->attentionAcknowledgement();
    finishResponse();
}

void Connection::handle(const Message& message) {
    if (message.ignored) {
        // The client withdrew the request before sending all of it; it still waits for
        // the DONE that answers it.
        writer_->begin(false);
        writer_->finish();
        return endResponse();
    }
    if (!startRequest()) {
        // Cancelled before it started: the acknowledgement is all the response. (A client
        // that went away gets nothing.)
        if (attentionPending()) acknowledgeAttention();
        return;
    }
    struct Ending {
        Connection& c;
        ~Ending() { c.endRequest(); }
    } ending{*this};
    if (message.firstStatus & (kStatusResetConnection | kStatusResetConnectionSkipTran))
        resetConnection();
    switch (message.type) {
        case PacketType::SqlBatch:
            return runBatch(message);
        case PacketType::Rpc:
            return runRpc(message);
        case PacketType::TransactionManager:
            return runTransactionRequest(message);
        default:
            throw ProtocolError("unexpected packet type after login");
    }
}

void Connection::resetConnection() {
    // As sp_reset_connection: a fresh session on the login's database, nothing prepared.
    std::unique_ptr<engine::Session> old;
    {
        std::lock_guard<std::mutex> guard(sessionMutex_);
        old = std::move(session_);
    }
    old->close();
    old.reset();
    engine::SessionOptions options = settings_.sessionOptions;
    options.login = login_;
    if (!language_.empty()) options.language = language_;
    engine::Session::Opened opened = engine::Session::open(settings_.dataDirectory, loginDatabase_, options);
    if (!opened.session) throw ConnectionClosed("the login's database cannot be opened any more");
    {
        std::lock_guard<std::mutex> guard(sessionMutex_);
        session_ = std::move(opened.session);
    }
    prepared_.clear();
    writer_->begin(false);
    ByteWriter w;
    writeEnvChangeReset(w);
    writer_->raw(w.bytes());
    writer_->setCurrentDatabase(session_->currentDatabase());
}

void Connection::runBatch(const Message& message) {
    SqlBatchRequest request = parseSqlBatch(message.payload, features_.version >= kTds72);
    writer_->begin(false);
    session_->execute(request.text, *writer_);
    writer_->finish();
    endResponse();
}

namespace {

// A transaction or savepoint name as statement text.
std::string bracketed(std::string_view name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    return out + "]";
}

// The statements that begin a transaction as a transaction-manager request asks: a level
// other than 0 stays the session's, as SET TRANSACTION ISOLATION LEVEL does.
std::string beginStatements(uint8_t isolationLevel, const std::string& name) {
    static constexpr const char* kLevels[] = {nullptr,          "READ UNCOMMITTED",
                                              "READ COMMITTED", "REPEATABLE READ",
                                              "SERIALIZABLE",   "SNAPSHOT"};
    std::string text;
    if (isolationLevel > 5) throw ProtocolError("unknown isolation level");
    if (isolationLevel != 0)
        text = std::string("SET TRANSACTION ISOLATION LEVEL ") + kLevels[isolationLevel] + "; ";
    text += "BEGIN TRANSACTION";
    if (!name.empty()) text += " " + bracketed(name);
    return text;
}

}  // namespace

void Connection::runTransactionRequest(const Message& message) {
    TransactionRequest request = parseTransactionRequest(message.payload, features_.version >= kTds72);
    std::string text;
    const std::string name = request.name.empty() ? "" : " " + bracketed(request.name);
    switch (request.kind) {
        case TransactionRequestKind::Begin:
            text = beginStatements(request.isolationLevel, request.name);
            break;
        case TransactionRequestKind::Commit:
            text = "COMMIT TRANSACTION" + name;
            break;
        case TransactionRequestKind::Rollback:
            text = "ROLLBACK TRANSACTION" + name;
            break;
        case TransactionRequestKind::Save:
            text = "SAVE TRANSACTION" + name;
            break;
        default:
            break;
    }
    if (request.beginAfter)
        text += "; " + beginStatements(request.isolationLevel, request.beginName);
    writer_->begin(false);
    if (text.empty()) {
        writer_->message(plainError(8517, "Distributed transactions are not supported by this server."));
    } else {
        session_->execute(text, *writer_);
    }
    writer_->finish();
    endResponse();
}

void Connection::runRpc(const Message& message) {
    RpcRequest request = parseRpc(message.payload, features_.version >= kTds72);
    for (size_t i = 0; i < request.calls.size(); ++i) {
        writer_->begin(true);
        callProcedure(request.calls[i], i + 1 == request.calls.size());
        // A cancel ends the request after the call it interrupted.
        const bool more = i + 1 < request.calls.size() && !attentionArrived();
        writer_->finish(more);
        if (broken_ || !more) break;
    }
    endResponse();
}

namespace {

// The text of a leading argument of sp_executesql or sp_prepare (statement text or
// declarations). SQL Server takes these by position whatever name the client gives them
// (tedious sends @statement, others @stmt): a known name only finds one given out of order.
std::optional<std::string> textArgument(const RpcCall& call, size_t position,
                                        std::initializer_list<std::string_view> names) {
    const RpcParameter* found = nullptr;
    for (const auto& p : call.parameters) {
        for (std::string_view name : names) {
            if (!found && !p.name.empty() && engine::identifierEqual(p.name, name)) found = &p;
        }
    }
    if (!found && position < call.parameters.size()) found = &call.parameters[position];
    if (!found) return std::nullopt;
    if (found->value.value.isNull()) return std::string();
    return found->value.value.bytes();
}

std::optional<int32_t> integerArgument(const RpcCall& call, size_t position) {
    if (position >= call.parameters.size()) return std::nullopt;
    const engine::Value& v = call.parameters[position].value.value;
    if (v.isNull() || !engine::isInteger(v.typeId())) return std::nullopt;
    return static_cast<int32_t>(v.asInt64());
}

}  // namespace

void Connection::callProcedure(const RpcCall& call, bool) {
    std::string name = call.procedure != SpecialProcedure::None
                           ? std::string(specialProcedureName(call.procedure))
                           : call.procedureName;
    std::string last;
    const std::string quoted = quotedProcedureName(name, last);
    const std::string bare = lowerAscii(last);
    const engine::DataType intType = engine::DataType::of(engine::TypeId::Int);

    if (bare == "sp_executesql") {
        auto statement = textArgument(call, 0, {"@stmt", "@statement"});
        if (!statement) {
            writer_->message(engine::sqlMessage(214, {"@statement", "ntext/nchar/nvarchar"}));
            writer_->returnStatus(1);
            return;
        }
        return executeSql(call, 2, *statement,
                          textArgument(call, 1, {"@params", "@parameters"}).value_or(""),
                          std::nullopt);
    }
    if (bare == "sp_prepare" || bare == "sp_prepexec") {
        Prepared p{textArgument(call, 1, {"@params", "@parameters"}).value_or(""),
                   textArgument(call, 2, {"@stmt", "@statement"}).value_or("")};
        const int32_t handle = nextHandle_++;
        prepared_[handle] = p;
        if (bare == "sp_prepexec") return executeSql(call, 3, p.statement, p.declarations, handle);
        writer_->returnStatus(0);
        writer_->returnValue(0, call.parameters.empty() ? "" : call.parameters[0].name, intType,
                             engine::Value::integer(handle));
        return;
    }
    if (bare == "sp_execute") {
        auto handle = integerArgument(call, 0);
        auto it = handle ? prepared_.find(*handle) : prepared_.end();
        if (it == prepared_.end()) {
            writer_->message(plainError(8179, "Could not find prepared statement with handle " +
                                                  std::to_string(handle.value_or(0)) + "."));
            writer_->returnStatus(1);
            return;
        }
        const Prepared p = it->second;
        return executeSql(call, 1, p.statement, p.declarations, std::nullopt);
    }
    if (bare == "sp_unprepare") {
        if (auto handle = integerArgument(call, 0)) prepared_.erase(*handle);
        writer_->returnStatus(0);
        return;
    }

    // Any other procedure: EXEC with the parameters as typed variables of the batch, and
    // one more for the status its RETURN gives, which goes back as the call's status.
    const std::string status = "@__rpcstatus";
    std::string text = "EXEC " + status + " = " + quoted;
    std::string declarations = status + " int OUTPUT";
    std::vector<engine::ParameterArgument> arguments;
    for (size_t i = 0; i < call.parameters.size(); ++i) {
        const RpcParameter& p = call.parameters[i];
        if (!p.name.empty() && !isParameterName(p.name)) throw ProtocolError("bad parameter name");
        const std::string variable = "@__rpc" + std::to_string(i);
        text += i ? ", " : " ";
        if (!p.name.empty()) text += p.name + " = ";
        if (p.useDefault) {
            text += "DEFAULT";
            continue;
        }
        text += variable + (p.output ? " OUTPUT" : "");
        declarations += ", " + variable + " " + engine::typeDisplayName(p.value.type) +
                        (p.output ? " OUTPUT" : "");
        arguments.push_back({variable, p.value.value, p.output, false});
    }
    arguments.push_back({status, engine::Value::null(intType), true, false});
    session_->executeSql(text, declarations, arguments, *writer_);
    // A procedure that never ran (an error first) has no status of its own.
    const engine::Value& returned = arguments.back().value;
    writer_->returnStatus(returned.isNull() ? (writer_->errorsSeen() ? 1 : 0)
                                            : static_cast<int32_t>(returned.asInt64()));
    size_t a = 0;
    for (size_t i = 0; i < call.parameters.size(); ++i) {
        const RpcParameter& p = call.parameters[i];
        if (p.useDefault) continue;
        const engine::ParameterArgument& argument = arguments[a++];
        if (p.output)
            writer_->returnValue(static_cast<uint16_t>(i), p.name, p.value.type, argument.value);
    }
}

void Connection::executeSql(const RpcCall& call, size_t firstArgument, const std::string& statement,
                            const std::string& declarations, std::optional<int32_t> preparedHandle) {
    std::vector<engine::ParameterArgument> arguments;
    for (size_t i = firstArgument; i < call.parameters.size(); ++i) {
        const RpcParameter& p = call.parameters[i];
        arguments.push_back({p.name, p.value.value, p.output, p.useDefault});
    }
    session_->executeSql(statement, declarations, arguments, *writer_);
    writer_->returnStatus(writer_->errorsSeen() ? 1 : 0);
    if (preparedHandle) {
        writer_->returnValue(0, call.parameters.empty() ? "" : call.parameters[0].name,
                             engine::DataType::of(engine::TypeId::Int),
                             engine::Value::integer(*preparedHandle));
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        const RpcParameter& p = call.parameters[firstArgument + i];
        if (!p.output) continue;
        const engine::Value& v = arguments[i].value;
        writer_->returnValue(static_cast<uint16_t>(firstArgument + i), p.name,
                             v.isNull() && v.type().isNullLiteral() ? p.value.type : v.type(), v);
    }
}

}  // namespace tds
