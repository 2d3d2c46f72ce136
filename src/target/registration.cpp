#include "target/registration.h"

#include "db/connection.h"
#include "db/statement_runner.h"
#include "target/sql_text.h"
#include "target/target_year.h"

namespace devir::target {

std::string RegistryDeleteStatement(int year) {
  return "DELETE FROM sirketler WHERE SirketAdi=" + QuoteSqlString(YearDatabaseName(year));
}

std::string RegistryInsertStatement(int year) {
  const std::string database = QuoteSqlString(YearDatabaseName(year));
  return "INSERT INTO sirketler(SirketAdi,CalismaYili,DBAdi) Values(" + database + "," +
         QuoteSqlString(YearText(year)) + "," + database + ")";
}

PendingRegistration::PendingRegistration(const db::ServerLogin& login, int year,
                                         int timeout_seconds)
    : connection_(std::make_unique<db::Connection>()) {
  connection_->SetCommandTimeout(timeout_seconds);
  connection_->SetConnectionString(db::RunnerConnectionString(login, kRegistryDatabase));
  connection_->Connect();
  connection_->Execute("SET DATEFORMAT DMY");
  connection_->BeginTransaction();
  connection_->Execute(RegistryDeleteStatement(year));
  connection_->Execute(RegistryInsertStatement(year));
}

PendingRegistration::~PendingRegistration() {
  // Closing the session rolls back what was not committed.
  connection_->Disconnect();
}

void PendingRegistration::Commit() {
  connection_->Commit();
  connection_->Disconnect();
}

}  // namespace devir::target
