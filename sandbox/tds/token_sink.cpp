#include "sandbox/tds/token_sink.h"

#include <algorithm>

#include "sandbox/tds/tokens.h"

namespace sandbox::tds {

TokenSink::TokenSink(ReplyStream& stream, RequestReader& reader, const std::string& server_name,
                     std::uint32_t tds_version, bool rpc, bool rowversion_as_binary)
    : stream_(stream),
      reader_(reader),
      server_name_(server_name),
      tds_version_(tds_version),
      rpc_(rpc),
      rowversion_as_binary_(rowversion_as_binary) {}

void TokenSink::Columns(const std::vector<ResultColumn>& columns) {
  if (Dropped()) return;
  std::vector<ResultColumn> client = ForClient(columns, tds_version_);
  if (rowversion_as_binary_) {
    // As some servers and drivers report it: binary(8) without the timestamp user type.
    for (ResultColumn& column : client) {
      if (column.type.type == SqlType::Timestamp) column.type = {SqlType::Binary, 8, 0, 0};
    }
  }
  Bytes token;  // complete before it joins the stream, in case a type cannot be described
  WireWriter t(token);
  WriteColumnMetadata(t, client, tds_version_);
  ReleaseDone();
  columns_ = std::move(client);
  stream_.Writer().Raw(token);
  stream_.FlushFull();
}

void TokenSink::RowData(const Row& row) {
  if (Dropped()) return;
  auto w = stream_.Writer();
  WriteRow(w, columns_, row);
  stream_.FlushFull();
}

void TokenSink::Info(int number, int state, int severity, const std::string& message, int line) {
  if (Dropped()) return;
  ReleaseDone();
  Message(number, state, std::min(severity, 10), message, line);
}

void TokenSink::Error(const SqlError& error) {
  if (Dropped()) return;
  ReleaseDone();
  call_error_ = true;
  Message(error.number, error.state, std::max(error.severity, 11), error.what(), error.line);
}

void TokenSink::DatabaseChanged(const std::string& new_name, const std::string& old_name) {
  if (Dropped()) return;
  ReleaseDone();
  auto w = stream_.Writer();
  WriteEnvChange(w, EnvChange::kDatabase, new_name, old_name);
}

void TokenSink::TransactionChanged(int envchange_type, std::uint64_t descriptor) {
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

void TokenSink::StatementDone(long long row_count, bool error) {
  CommandDone(row_count, error, DoneCommand::kNone);
}

void TokenSink::CommandDone(long long row_count, bool error, DoneCommand command) {
  if (Dropped()) return;
  ReleaseDone();
  PendingDone done;
  done.status = error ? kDoneError : 0;
  if (row_count >= 0) done.status |= kDoneCount;
  done.rows = static_cast<std::uint64_t>(std::max(row_count, 0LL));
  done.command = static_cast<std::uint16_t>(command);
  done.token = rpc_ ? kDoneInProcToken : kDoneToken;
  pending_done_ = done;
}

void TokenSink::ReturnStatus(int status) {
  if (Dropped()) return;
  ReleaseDone();
  auto w = stream_.Writer();
  WriteReturnStatus(w, status);
}

void TokenSink::ReturnValue(int ordinal, const std::string& name, const ColumnType& type,
                            const Value& value) {
  if (Dropped()) return;
  ReleaseDone();
  const ResultColumn column = ForClient({ResultColumn{name, type, true, false}}, tds_version_)[0];
  auto w = stream_.Writer();
  WriteReturnValue(w, static_cast<std::uint16_t>(ordinal), name, column.type, value, tds_version_);
  stream_.FlushFull();
}

bool TokenSink::Cancelled() {
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

void TokenSink::ResetAcknowledged() {
  auto w = stream_.Writer();
  WriteEnvChange(w, EnvChange::kResetConnection, "", "");
}

void TokenSink::Fail(const SqlError& error) {
  Error(error);
  if (!rpc_) StatementDone(-1, true);
}

void TokenSink::EndProcedure(bool more) {
  if (Dropped()) return;
  ReleaseDone();
  auto w = stream_.Writer();
  const std::uint16_t status = (call_error_ ? kDoneError : 0) | (more ? kDoneMore : 0);
  WriteDone(w, status, 0, static_cast<std::uint16_t>(DoneCommand::kExecute), kDoneProcToken,
            tds_version_);
  call_error_ = false;
  ended_ = !more;
}

void TokenSink::Finish() {
  if (stream_.Broken()) return;
  if (pending_done_) {
    WritePending(false);
  } else if (!ended_) {
    auto w = stream_.Writer();
    WriteDone(w, kDoneFinal, 0, static_cast<std::uint16_t>(DoneCommand::kBatch),
              rpc_ ? kDoneProcToken : kDoneToken, tds_version_);
  }
  stream_.End();
  if (!attention_) return;
  auto w = stream_.Writer();
  WriteDone(w, kDoneAttention, 0, 0, kDoneToken, tds_version_);
  stream_.End();
}

void TokenSink::ReleaseDone() {
  if (pending_done_) WritePending(true);
}

void TokenSink::WritePending(bool more) {
  auto w = stream_.Writer();
  WriteDone(w, pending_done_->status | (more ? kDoneMore : 0), pending_done_->rows,
            pending_done_->command, pending_done_->token, tds_version_);
  pending_done_.reset();
}

void TokenSink::Message(int number, int state, int severity, const std::string& text, int line) {
  auto w = stream_.Writer();
  WriteMessage(w,
               ServerMessage{number, state, severity, text, server_name_, "", line > 0 ? line : 1});
  stream_.FlushFull();
}

}  // namespace sandbox::tds
