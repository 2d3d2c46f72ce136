#include "db/database_error.h"

#include <utility>

namespace devir::db {

DatabaseError::DatabaseError(std::string message, std::string sqlstate, long native_error)
    : std::runtime_error(std::move(message)),
      sqlstate_(std::move(sqlstate)),
      native_error_(native_error) {}

}  // namespace devir::db
