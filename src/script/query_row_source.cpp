#include "script/query_row_source.h"

namespace devir::script {

void QueryRowSource::Open(const std::string& sql) {
  query_.SetSql(sql);
  query_.Open();
}

}  // namespace devir::script
