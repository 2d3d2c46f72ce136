#include "sandbox/tds/connection.h"

#include <algorithm>
#include <deque>
#include <iostream>
#include <optional>

#include "sandbox/engine/sql_error.h"
#include "sandbox/tds/messages.h"
#include "sandbox/tds/packet_codec.h"
#include "sandbox/tds/tokens.h"
#include "sandbox/tds/value_encoding.h"

namespace sandbox::tds {
namespace {

constexpr std::size_t kDefaultPacketSize = 4096;
constexpr std::size_t kMinPacketSize = 512;
constexpr std::size_t kLargestPacketSize = 32767;
constexpr int kLoginFailed = 18456;
constexpr int kCannotOpenDatabase = 4060;
constexpr int kStandInError = 50000;

// Server messages go out in packets of the negotiated size as soon as a packet is full, so a
// large result never sits whole in memory.
class ReplyStream {
 public:
  ReplyStream(StreamSocket& socket, std::uint16_t spid) : socket_(socket), spid_(spid) {}

  WireWriter Writer() { return WireWriter(buffer_); }
  void SetPacketSize(std::size_t size) { packet_size_ = size; }
  bool Broken() const { return broken_; }
  void MarkBroken() { broken_ = true; }

  /// Sends every full packet, keeping at least one byte for the final one.
  void FlushFull() {
    const std::size_t payload = packet_size_ - kPacketHeaderSize;
    std::size_t pos = 0;
    while (buffer_.size() - pos > payload) {
      SendPacket(std::span(buffer_).subspan(pos, payload), false);
      pos += payload;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
  }
  /// Sends the rest of the message with the end-of-message bit.
  void End() {
    FlushFull();
    SendPacket(buffer_, true);
    buffer_.clear();
  }

 private:
  void SendPacket(std::span<const std::uint8_t> payload, bool last) {
    if (broken_) return;
    Bytes packet;
    packet.reserve(payload.size() + kPacketHeaderSize);
    AppendPacket(packet, PacketType::kReply, payload, last, spid_, packet_id_++);
    if (!socket_.SendAll(packet)) broken_ = true;
  }

  StreamSocket& socket_;
  std::uint16_t spid_;
  std::size_t packet_size_ = kDefaultPacketSize;
  std::uint8_t packet_id_ = 1;
  Bytes buffer_;
  bool broken_ = false;
};

// Client messages, read blocking between requests and without blocking while a statement
// runs (to see an attention).
class RequestReader {
 public:
  explicit RequestReader(StreamSocket& socket) : socket_(socket) {}

  /// The next message; nullopt when the client has closed. Throws ProtocolError.
  std::optional<Message> Next() {
    while (pending_.empty()) {
      if (closed_) return std::nullopt;
      std::uint8_t chunk[16384];
      const long n = socket_.Receive(chunk);
      if (n <= 0) {
        closed_ = true;
        if (!buffer_.empty()) throw ProtocolError("connection closed inside a packet");
        return std::nullopt;
      }
      buffer_.insert(buffer_.end(), chunk, chunk + n);
      Assemble();
    }
    Message m = std::move(pending_.front());
    pending_.pop_front();
    return m;
  }

  /// Reads what has arrived; true when it held an attention (which is consumed).
  /// Throws ProtocolError.
  bool PollAttention() {
    while (!closed_) {
      std::uint8_t chunk[16384];
      const long n = socket_.ReceiveAvailable(chunk);
      if (n == -1) break;
      if (n <= 0) {
        closed_ = true;
        break;
      }
      buffer_.insert(buffer_.end(), chunk, chunk + n);
    }
    Assemble();
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [](const Message& m) { return m.type == PacketType::kAttention; });
    if (it == pending_.end()) return false;
    pending_.erase(it);
    return true;
  }

  bool Closed() const { return closed_; }

 private:
  void Assemble() {
    while (true) {
      const auto result = assembler_.Feed(buffer_);
      buffer_.erase(buffer_.begin(),
                    buffer_.begin() + static_cast<std::ptrdiff_t>(result.consumed));
      if (result.status == DecodeStatus::kBad) throw ProtocolError(result.error);
      if (result.status == DecodeStatus::kNeedMore) return;
      pending_.push_back(assembler_.TakeMessage());
    }
  }

  StreamSocket& socket_;
  Bytes buffer_;
  MessageAssembler assembler_;
  std::deque<Message> pending_;
  bool closed_ = false;
};

// Turns what the engine reports into tokens. Holds back each DONE until it knows whether
// more follows, so that only the last DONE of the reply lacks the "more" bit.
class TokenSink final : public ResultSink {
 public:
  TokenSink(ReplyStream& stream, RequestReader& reader, const std::string& server_name,
            bool rowversion_as_binary)
      : stream_(stream),
        reader_(reader),
        server_name_(server_name),
        rowversion_as_binary_(rowversion_as_binary) {}

  void Columns(const std::vector<ResultColumn>& columns) override {
    if (Dropped()) return;
    std::vector<ResultColumn> described = columns;
    if (rowversion_as_binary_) {
      // As some servers and drivers report it: binary(8) without the timestamp user type.
      for (ResultColumn& column : described) {
        if (column.type.type == SqlType::Timestamp) column.type = {SqlType::Binary, 8, 0, 0};
      }
    }
    Bytes token;  // complete before it joins the stream, in case a type cannot be described
    WireWriter t(token);
    WriteColumnMetadata(t, described);
    ReleaseDone();
    columns_ = std::move(described);
    stream_.Writer().Raw(token);
    stream_.FlushFull();
  }

  void RowData(const Row& row) override {
    if (Dropped()) return;
    auto w = stream_.Writer();
    WriteRow(w, columns_, row);
    stream_.FlushFull();
  }

  void Info(int number, int state, int severity, const std::string& message, int line) override {
    if (Dropped()) return;
    ReleaseDone();
    Message(ServerMessage{number, state, std::min(severity, 10), message, server_name_, "",
                          line > 0 ? line : 1});
  }

  void Error(const SqlError& error) override {
    if (Dropped()) return;
    ReleaseDone();
    Message(ServerMessage{error.number, error.state, std::max(error.severity, 11), error.what(),
                          server_name_, "", error.line > 0 ? error.line : 1});
  }

  void DatabaseChanged(const std::string& new_name, const std::string& old_name) override {
    if (Dropped()) return;
    ReleaseDone();
    auto w = stream_.Writer();
    WriteEnvChange(w, EnvChange::kDatabase, new_name, old_name);
  }

  void TransactionChanged(int envchange_type, std::uint64_t descriptor) override {
    if (Dropped()) return;
    ReleaseDone();
    Bytes id;
    WireWriter(id).U64(descriptor != 0 ? descriptor : last_descriptor_);
    auto w = stream_.Writer();
    const auto type = static_cast<EnvChange>(envchange_type);
    if (type == EnvChange::kBeginTransaction) {
      last_descriptor_ = descriptor;
      WriteEnvChangeBytes(w, type, id, {});
    } else {
      WriteEnvChangeBytes(w, type, {}, id);
    }
  }

  void StatementDone(long long row_count, bool error) override {
    if (Dropped()) return;
    ReleaseDone();
    std::uint16_t status = error ? kDoneError : 0;
    if (row_count >= 0) status |= kDoneCount;
    pending_done_ = std::pair(status, static_cast<std::uint64_t>(std::max(row_count, 0LL)));
  }

  bool Cancelled() override {
    if (stream_.Broken() || attention_) return true;
    try {
      if (reader_.PollAttention()) attention_ = true;
    } catch (const ProtocolError& e) {
      protocol_error_ = e.what();
      stream_.MarkBroken();
    }
    if (reader_.Closed()) stream_.MarkBroken();
    return stream_.Broken() || attention_;
  }

  /// Reports a failure that escaped the engine as an error of the current statement.
  void Fail(const SqlError& error) {
    Error(error);
    StatementDone(-1, true);
  }

  /// Ends the reply: the last DONE without "more", or DONE with the attention bit.
  void Finish() {
    if (stream_.Broken()) return;
    auto w = stream_.Writer();
    if (attention_) {
      ReleaseDone();
      WriteDone(w, kDoneAttention, 0);
    } else if (pending_done_) {
      WriteDone(w, pending_done_->first, pending_done_->second);
      pending_done_.reset();
    } else {
      WriteDone(w, kDoneFinal, 0);
    }
    stream_.End();
  }

  const std::string& ProtocolFailure() const { return protocol_error_; }

 private:
  bool Dropped() const { return stream_.Broken() || attention_; }

  void ReleaseDone() {
    if (!pending_done_) return;
    auto w = stream_.Writer();
    WriteDone(w, pending_done_->first | kDoneMore, pending_done_->second);
    pending_done_.reset();
  }

  void Message(const ServerMessage& message) {
    auto w = stream_.Writer();
    WriteMessage(w, message);
    stream_.FlushFull();
  }

  ReplyStream& stream_;
  RequestReader& reader_;
  const std::string& server_name_;
  bool rowversion_as_binary_;
  std::vector<ResultColumn> columns_;
  std::optional<std::pair<std::uint16_t, std::uint64_t>> pending_done_;
  std::uint64_t last_descriptor_ = 0;
  bool attention_ = false;
  std::string protocol_error_;
};

}  // namespace

class Connection::Impl {
 public:
  Impl(StreamSocket socket, LoginFunction login, std::string server_name, std::uint16_t spid,
       bool rowversion_as_binary)
      : socket_(std::move(socket)),
        login_(std::move(login)),
        server_name_(std::move(server_name)),
        rowversion_as_binary_(rowversion_as_binary),
        stream_(socket_, spid),
        reader_(socket_),
        peer_(socket_.PeerName()) {}

  void Run() noexcept {
    try {
      if (Login()) Serve();
    } catch (const std::exception& e) {
      if (!closing_) Log(e.what());
    }
    // Destroying the session here, not when the server reaps this connection, releases
    // its transaction as soon as the client is gone.
    try {
      session_.reset();
    } catch (...) {
      Log("the session could not be closed cleanly");
    }
    socket_.Shutdown();
  }

  void Close() noexcept {
    closing_ = true;
    socket_.Shutdown();
  }

 private:
  void Log(const std::string& what) {
    std::cerr << "devir-sandbox: connection " << peer_ << ": " << what << "; closed\n"
              << std::flush;
  }

  // PRELOGIN, LOGIN7 and the login reply; false when the connection must end.
  bool Login() {
    auto message = reader_.Next();
    if (!message) return false;
    if (message->type == PacketType::kPrelogin) {
      ParsePrelogin(message->payload);
      auto w = stream_.Writer();
      w.Raw(PreloginReply());
      stream_.End();
      message = reader_.Next();
      if (!message) return false;
    }
    if (message->type != PacketType::kLogin7) {
      throw ProtocolError("expected LOGIN7, got packet type " +
                          std::to_string(static_cast<int>(message->type)));
    }
    const LoginRequest request = ParseLogin7(message->payload);
    if (request.tds_version < kTds72) {
      RefuseLogin({{kStandInError, 1, 16,
                    "This server speaks TDS 7.2 or later; set \"tds version\" to 7.4.",
                    server_name_, "", 1}});
      Log("client asked for an old TDS version");
      return false;
    }
    tds_version_ = std::min(request.tds_version, kTds74);
    try {
      session_ = login_(request.user, request.password, request.database);
    } catch (const SqlError& e) {
      std::vector<ServerMessage> errors = {
          {e.number, e.state, std::max(e.severity, 11), e.what(), server_name_, "", 1}};
      if (e.number == kCannotOpenDatabase) {
        errors.push_back({kLoginFailed, 1, 14, "Login failed for user '" + request.user + "'.",
                          server_name_, "", 1});
      }
      RefuseLogin(errors);
      Log("login failed for user '" + request.user + "' (error " + std::to_string(e.number) + ")");
      return false;
    }
    std::size_t packet_size = request.packet_size == 0 ? kDefaultPacketSize : request.packet_size;
    packet_size = std::clamp(packet_size, kMinPacketSize, kLargestPacketSize);

    const std::string database = session_->CurrentDatabase();
    auto w = stream_.Writer();
    WriteEnvChange(w, EnvChange::kDatabase, database, "master");
    WriteMessage(
        w, {5701, 2, 0, "Changed database context to '" + database + "'.", server_name_, "", 1});
    WriteEnvChangeBytes(w, EnvChange::kCollation, kTurkishCiAs, {});
    WriteEnvChange(w, EnvChange::kLanguage, "us_english", "");
    WriteMessage(w, {5703, 1, 0, "Changed language setting to us_english.", server_name_, "", 1});
    WriteLoginAck(w, tds_version_);
    WriteEnvChange(w, EnvChange::kPacketSize, std::to_string(packet_size),
                   std::to_string(kDefaultPacketSize));
    WriteDone(w, kDoneFinal, 0);
    stream_.End();
    stream_.SetPacketSize(packet_size);
    return !stream_.Broken();
  }

  void RefuseLogin(const std::vector<ServerMessage>& errors) {
    auto w = stream_.Writer();
    for (const auto& e : errors) WriteMessage(w, e);
    WriteDone(w, kDoneError, 0);
    stream_.End();
  }

  void Serve() {
    while (auto message = reader_.Next()) {
      switch (message->type) {
        case PacketType::kSqlBatch:
          RunBatch(ParseSqlBatch(message->payload, tds_version_));
          break;
        case PacketType::kTransactionManager:
          RunTransactionRequest(ParseTransactionRequest(message->payload, tds_version_));
          break;
        case PacketType::kRpc:
          RefuseRpc(RpcProcedureName(message->payload, tds_version_));
          break;
        case PacketType::kAttention: {
          // The reply it cancels has already ended; acknowledge it on its own.
          auto w = stream_.Writer();
          WriteDone(w, kDoneAttention, 0);
          stream_.End();
          break;
        }
        default:
          throw ProtocolError("packet type " + std::to_string(static_cast<int>(message->type)) +
                              " after login");
      }
      if (stream_.Broken()) return;
    }
  }

  template <typename Work>
  void RunWithSink(Work work) {
    TokenSink sink(stream_, reader_, server_name_, rowversion_as_binary_);
    try {
      work(sink);
    } catch (const SqlError& e) {
      sink.Fail(e);
    } catch (const std::exception& e) {
      // A fault of the stand-in itself: the client sees it as a failed statement.
      sink.Fail(SqlError(kStandInError, 16, 1, std::string("Internal error: ") + e.what()));
    }
    sink.Finish();
    if (!sink.ProtocolFailure().empty()) throw ProtocolError(sink.ProtocolFailure());
  }

  void RunBatch(const std::string& sql) {
    RunWithSink([&](TokenSink& sink) { session_->ExecuteBatch(sql, sink); });
  }

  void RunTransactionRequest(const TransactionRequest& request) {
    using Kind = TransactionRequest::Kind;
    RunWithSink([&](TokenSink& sink) {
      switch (static_cast<Kind>(request.kind)) {
        case Kind::kBegin:
          session_->BeginTransaction(sink);
          return;
        case Kind::kCommit:
          session_->CommitTransaction(sink);
          if (request.begin_after) session_->BeginTransaction(sink);
          return;
        case Kind::kRollback:
          session_->RollbackTransaction(sink);
          if (request.begin_after) session_->BeginTransaction(sink);
          return;
      }
      throw SqlError(kStandInError, 16, 1,
                     "Transaction manager request " + std::to_string(request.kind) +
                         " is not supported by this stand-in.");
    });
  }

  void RefuseRpc(const std::string& procedure) {
    RunWithSink([&](TokenSink&) {
      throw SqlError(kStandInError, 16, 1,
                     "RPC is not supported by this stand-in" +
                         (procedure.empty() ? std::string() : " (" + procedure + ")") +
                         "; send the statement as a SQL batch.");
    });
  }

  StreamSocket socket_;
  LoginFunction login_;
  std::string server_name_;
  bool rowversion_as_binary_;
  ReplyStream stream_;
  RequestReader reader_;
  std::string peer_;
  std::unique_ptr<Session> session_;
  std::uint32_t tds_version_ = kTds74;
  std::atomic<bool> closing_ = false;
};

Connection::Connection(StreamSocket socket, LoginFunction login, std::string server_name,
                       std::uint16_t spid, bool rowversion_as_binary)
    : impl_(std::make_unique<Impl>(std::move(socket), std::move(login), std::move(server_name),
                                   spid, rowversion_as_binary)) {}

Connection::~Connection() = default;

void Connection::Run() noexcept {
  impl_->Run();
}

void Connection::Close() noexcept {
  impl_->Close();
}

}  // namespace sandbox::tds
