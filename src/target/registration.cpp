#include "target/registration.h"

#include "db/statement_runner.h"
#include "target/target_year.h"

namespace devir::target {

// The year's texts are digits and "E": nothing in them needs quoting.
std::string RegistryDeleteStatement(int year) {
  return "DELETE FROM sirketler WHERE SirketAdi='" + YearDatabaseName(year) + "'";
}

std::string RegistryInsertStatement(int year) {
  const std::string database = YearDatabaseName(year);
  return "INSERT INTO sirketler(SirketAdi,CalismaYili,DBAdi) Values('" + database + "','" +
         YearText(year) + "','" + database + "')";
}

void RegisterYear(db::Connection& connection, const db::ServerLogin& login, int year) {
  db::RunOnDatabase(connection, login, kRegistryDatabase, RegistryDeleteStatement(year));
  db::RunOnDatabase(connection, login, kRegistryDatabase, RegistryInsertStatement(year));
}

}  // namespace devir::target
