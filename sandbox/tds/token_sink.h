#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/engine/result_sink.h"
#include "sandbox/tds/reply_stream.h"

namespace sandbox::tds {

/// Turns what the engine reports for one request into tokens on the reply stream. Holds back
/// each DONE until it knows whether more follows, so that only the last DONE of the reply
/// lacks the "more" bit. Inside an RPC call the statements' DONEs are DONEINPROC and each
/// call ends with DONEPROC.
class TokenSink final : public ResultSink {
 public:
  /// rowversion_as_binary: timestamp columns are described as binary(8), as some servers
  /// and drivers report them.
  TokenSink(ReplyStream& stream, RequestReader& reader, const std::string& server_name,
            std::uint32_t tds_version, bool rpc, bool rowversion_as_binary = false);

  void Columns(const std::vector<ResultColumn>& columns) override;
  void RowData(const Row& row) override;
  void Info(int number, int state, int severity, const std::string& message, int line) override;
  void Error(const SqlError& error) override;
  void DatabaseChanged(const std::string& new_name, const std::string& old_name) override;
  void TransactionChanged(int envchange_type, std::uint64_t descriptor) override;
  void StatementDone(long long row_count, bool error) override;
  void CommandDone(long long row_count, bool error, DoneCommand command) override;
  void ReturnStatus(int status) override;
  void ReturnValue(int ordinal, const std::string& name, const ColumnType& type,
                   const Value& value) override;
  bool Cancelled() override;

  /// ENVCHANGE acknowledging the reset-connection flag, first in the reply.
  void ResetAcknowledged();
  /// Reports a failure that escaped the engine as an error of the current statement.
  void Fail(const SqlError& error);
  /// Ends one RPC call with DONEPROC; more: another call of the request follows.
  void EndProcedure(bool more);
  /// Ends the reply: the last DONE without "more". After an attention the cancelled reply
  /// ends here and the acknowledgement (DONE with the attention bit) follows as a message of
  /// its own, as SQL Server sends it.
  void Finish();

  bool Attention() const { return attention_; }
  const std::string& ProtocolFailure() const { return protocol_error_; }

 private:
  struct PendingDone {
    std::uint16_t status = 0;
    std::uint64_t rows = 0;
    std::uint16_t command = 0;
    std::uint8_t token = 0;
  };

  bool Dropped() const { return stream_.Broken() || attention_; }
  void ReleaseDone();
  void WritePending(bool more);
  void Message(int number, int state, int severity, const std::string& text, int line);

  ReplyStream& stream_;
  RequestReader& reader_;
  const std::string& server_name_;
  std::uint32_t tds_version_;
  bool rpc_;
  bool rowversion_as_binary_;
  std::vector<ResultColumn> columns_;  ///< as the client sees them
  std::optional<PendingDone> pending_done_;
  std::uint64_t last_descriptor_ = 0;
  bool call_error_ = false;  ///< an error in the current RPC call
  bool ended_ = false;       ///< the reply's final DONE (or DONEPROC) is written
  bool attention_ = false;
  std::string protocol_error_;
};

}  // namespace sandbox::tds
