#include "db/type_name.h"

#include "db/ascii_case.h"

namespace devir::db {

std::string BaseTypeName(std::string_view reported) {
  return AsciiLower(reported.substr(0, reported.find_first_of(" (")));
}

}  // namespace devir::db
