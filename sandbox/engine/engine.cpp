#include "sandbox/engine/engine.h"

#include <atomic>

#include "sandbox/engine/catalog.h"
#include "sandbox/engine/session_impl.h"
#include "sandbox/engine/sql_messages.h"

namespace sandbox {
namespace {

// Session ids start above SQL Server's system sessions.
std::atomic<int> next_spid{51};

}  // namespace

Engine::Engine(std::filesystem::path data_dir, std::vector<struct Engine::Login> logins,
               std::string instance)
    : catalog_(std::make_unique<Catalog>(std::move(data_dir))),
      logins_(std::move(logins)),
      instance_(std::move(instance)) {}

Engine::~Engine() = default;

std::unique_ptr<Session> Engine::Login(const std::string& user, const std::string& password,
                                       const std::string& database) {
  bool known = false;
  for (const struct Engine::Login& login : logins_) {
    if (EqualsNoCase(login.user, user) && login.password == password) known = true;
  }
  if (!known) throw LoginFailed(user);
  return std::make_unique<SessionImpl>(*catalog_, database.empty() ? "master" : database, user,
                                       next_spid.fetch_add(1), instance_);
}

std::unique_ptr<Session> Engine::OpenSession(const std::string& database) {
  return std::make_unique<SessionImpl>(*catalog_, database.empty() ? "master" : database, "sa",
                                       next_spid.fetch_add(1), instance_);
}

void Session::TransactionRequest(TransactionVerb verb, const std::string&, ResultSink& sink) {
  switch (verb) {
    case TransactionVerb::kBegin:
      return BeginTransaction(sink);
    case TransactionVerb::kCommit:
      return CommitTransaction(sink);
    case TransactionVerb::kRollback:
      return RollbackTransaction(sink);
    case TransactionVerb::kSave:
      return sink.Error(NotSupported("SAVE TRANSACTION"));
  }
}

void Session::ExecuteProcedure(const ProcedureCall& call, ResultSink& sink) {
  sink.Error(RpcNotSupported(call.procedure));
}

void Session::Reset(bool, ResultSink&) {}

const std::filesystem::path& Engine::DataDir() const {
  return catalog_->Dir();
}

}  // namespace sandbox
