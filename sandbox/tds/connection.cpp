#include "sandbox/tds/connection.h"

#include <algorithm>
#include <iostream>
#include <optional>

#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/tds/messages.h"
#include "sandbox/tds/reply_stream.h"
#include "sandbox/tds/rpc_request.h"
#include "sandbox/tds/token_sink.h"
#include "sandbox/tds/tokens.h"
#include "sandbox/tds/value_encoding.h"

namespace sandbox::tds {
namespace {

constexpr std::size_t kDefaultPacketSize = 4096;
constexpr std::size_t kMinPacketSize = 512;
constexpr std::size_t kLargestPacketSize = 32767;
constexpr int kCannotOpenDatabase = 4060;

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
    if (request.tds_version < kTds71) {
      // Refused in the layout such a client reads: 32-bit DONE row count.
      tds_version_ = request.tds_version;
      RefuseLogin({ToMessage(UnsupportedTdsVersion(request.tds_version))});
      Log("client asked for TDS version " + std::to_string(request.tds_version >> 24) + "." +
          std::to_string((request.tds_version >> 16) & 0xFF));
      return false;
    }
    tds_version_ = std::min(request.tds_version, kTds74);
    try {
      session_ = login_(request.user, request.password, request.database);
    } catch (const SqlError& e) {
      std::vector<ServerMessage> errors = {ToMessage(e)};
      if (e.number == kCannotOpenDatabase) errors.push_back(ToMessage(LoginFailed(request.user)));
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
    WriteDone(w, kDoneFinal, 0, 0, kDoneToken, tds_version_);
    stream_.End();
    stream_.SetPacketSize(packet_size);
    return !stream_.Broken();
  }

  ServerMessage ToMessage(const SqlError& e) const {
    return {e.number, e.state, std::max(e.severity, 11), e.what(), server_name_, "", 1};
  }

  void RefuseLogin(const std::vector<ServerMessage>& errors) {
    auto w = stream_.Writer();
    for (const auto& e : errors) WriteMessage(w, e);
    WriteDone(w, kDoneError, 0, 0, kDoneToken, tds_version_);
    stream_.End();
  }

  void Serve() {
    while (auto message = reader_.Next()) {
      if (message->type == PacketType::kAttention) {
        // The reply it cancels has already ended: the acknowledgement comes on its own.
        auto w = stream_.Writer();
        WriteDone(w, kDoneAttention, 0, 0, kDoneToken, tds_version_);
        stream_.End();
      } else if (message->ignored) {
        // The client gave the request up before sending all of it: one DONE answers it.
        auto w = stream_.Writer();
        WriteDone(w, kDoneFinal, 0, 0, kDoneToken, tds_version_);
        stream_.End();
      } else {
        Answer(*message);
      }
      if (stream_.Broken()) return;
    }
  }

  void Answer(const Message& message) {
    const bool rpc = message.type == PacketType::kRpc;
    TokenSink sink(stream_, reader_, server_name_, tds_version_, rpc, rowversion_as_binary_);
    try {
      Reset(message.status, sink);
      switch (message.type) {
        case PacketType::kSqlBatch:
          session_->ExecuteBatch(ParseSqlBatch(message.payload, tds_version_), sink);
          break;
        case PacketType::kTransactionManager:
          RunTransactionRequest(message.payload, sink);
          break;
        case PacketType::kRpc:
          RunRpc(message.payload, sink);
          break;
        default:
          throw ProtocolError("packet type " + std::to_string(static_cast<int>(message.type)) +
                              " after login");
      }
    } catch (const SqlError& e) {
      sink.Fail(e);
    } catch (const ProtocolError&) {
      throw;
    } catch (const std::exception& e) {
      // A fault of the stand-in itself: the client sees it as a failed statement.
      sink.Fail(InternalError(e.what()));
    }
    sink.Finish();
    if (!sink.ProtocolFailure().empty()) throw ProtocolError(sink.ProtocolFailure());
  }

  // The reset-connection flags of a request's first packet: acknowledged first in the reply.
  void Reset(std::uint8_t status, TokenSink& sink) {
    if (!(status & (kStatusResetConnection | kStatusResetSkipTransaction))) return;
    sink.ResetAcknowledged();
    session_->Reset((status & kStatusResetSkipTransaction) != 0, sink);
  }

  void RunTransactionRequest(std::span<const std::uint8_t> payload, TokenSink& sink) {
    using Kind = TransactionRequest::Kind;
    TransactionRequest request;
    try {
      request = ParseTransactionRequest(payload, tds_version_);
    } catch (const ProtocolError& e) {
      // A malformed request is refused; the connection stays.
      throw MalformedRequest(e.what());
    }
    switch (static_cast<Kind>(request.kind)) {
      case Kind::kBegin:
        return session_->TransactionRequest(TransactionVerb::kBegin, request.name, sink);
      case Kind::kSave:
        return session_->TransactionRequest(TransactionVerb::kSave, request.name, sink);
      case Kind::kCommit:
      case Kind::kRollback: {
        const bool commit = request.kind == static_cast<std::uint16_t>(Kind::kCommit);
        session_->TransactionRequest(commit ? TransactionVerb::kCommit : TransactionVerb::kRollback,
                                     request.name, sink);
        if (request.begin_after) {
          session_->TransactionRequest(TransactionVerb::kBegin, request.new_name, sink);
        }
        return;
      }
    }
    throw NotSupported("transaction manager request " + std::to_string(request.kind));
  }

  void RunRpc(std::span<const std::uint8_t> payload, TokenSink& sink) {
    std::vector<ProcedureCall> calls;
    try {
      calls = ParseRpcRequest(payload, tds_version_);
    } catch (const ProtocolError& e) {
      throw MalformedRequest(e.what());
    } catch (const ValueError& e) {
      throw NotSupported(e.what());
    }
    for (std::size_t k = 0; k < calls.size() && !sink.Attention(); ++k) {
      try {
        session_->ExecuteProcedure(calls[k], sink);
      } catch (const SqlError& e) {
        sink.Fail(e);
      } catch (const ValueError& e) {
        sink.Fail(InternalError(e.what()));
      }
      sink.EndProcedure(k + 1 < calls.size());
    }
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
