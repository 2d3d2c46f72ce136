#include "sandbox/sample/seed.h"

#include <filesystem>
#include <vector>

#include "sandbox/engine/engine.h"
#include "sandbox/sample/batch_runner.h"
#include "sandbox/sample/insert_sql.h"
#include "sandbox/sample/layouts.h"
#include "sandbox/sample/sample_counts.h"
#include "sandbox/sample/sample_sources.h"
#include "sandbox/sample/schema_sql.h"

namespace sandbox {
namespace {

// Committing now and then keeps a large seed's open transaction (and its journal) bounded.
constexpr std::size_t kStatementsPerTransaction = 100;

void FillTable(Session& session, sample::TableSource& source) {
  std::vector<sample::SampleRow> chunk;
  std::size_t statements = 0;
  sample::RunBatch(session, "BEGIN TRANSACTION");
  while (source.Next(chunk, sample::kMaxRowsPerInsert)) {
    sample::RunBatch(session, sample::InsertStatement(source.Layout(), chunk));
    if (++statements % kStatementsPerTransaction == 0) {
      sample::RunBatch(session, "COMMIT TRANSACTION");
      sample::RunBatch(session, "BEGIN TRANSACTION");
    }
  }
  sample::RunBatch(session, "COMMIT TRANSACTION");
}

}  // namespace

void Seed(const SeedOptions& options) {
  // Checked before anything is written to the data folder.
  const sample::SampleCounts counts = sample::CountsFor(options);
  std::filesystem::create_directories(options.data_dir);
  Engine engine(options.data_dir, {});
  const std::unique_ptr<Session> session = engine.OpenSession("master");

  sample::RunBatch(*session, "CREATE DATABASE sirketambar");
  sample::RunBatch(*session, "USE sirketambar");
  sample::RunBatch(*session, sample::RegistrySchemaSql());
  sample::RunBatch(*session,
                   "INSERT INTO sirketler(SirketAdi,CalismaYili,DBAdi) "
                   "VALUES (N'E2017',N'2017',N'E2017')");

  sample::RunBatch(*session, "CREATE DATABASE E2017");
  sample::RunBatch(*session, "USE E2017");
  sample::RunBatch(*session, YearSchemaSql());
  for (sample::TableSource& source : sample::YearSampleSources(counts, options.random_seed)) {
    FillTable(*session, source);
  }
  sample::RunBatch(*session, "USE master");
}

}  // namespace sandbox
