// The system procedures the stand-in has, for RPC requests and EXEC in a batch:
// sp_executesql and the prepare/execute family ODBC drivers use, sp_attach_db, sp_detach_db.
#include "sandbox/engine/constant_eval.h"
#include "sandbox/engine/session_impl.h"

namespace sandbox {
namespace {

constexpr const char* kHandle = "@handle";

bool IsNull(const Value& value) {
  return std::holds_alternative<std::monostate>(value);
}

// The argument at position (by place, or by its own name), or nullptr when not given or
// given as DEFAULT.
const ProcedureArgument* ArgumentAt(const ProcedureCall& call, std::size_t position,
                                    const char* name) {
  for (const ProcedureArgument& argument : call.arguments) {
    if (!argument.name.empty() && EqualsNoCase(argument.name, name)) {
      return argument.is_default ? nullptr : &argument;
    }
  }
  if (position >= call.arguments.size()) return nullptr;
  const ProcedureArgument& argument = call.arguments[position];
  if (argument.is_default) return nullptr;
  // sp_executesql and its kin take their leading arguments by place, whatever they are called.
  return &argument;
}

// A statement or parameter list argument: Unicode text, as SQL Server insists.
std::string TextArgument(const ProcedureArgument* argument, const char* parameter) {
  if (!argument || IsNull(argument->value)) return {};
  if (!IsUnicodeType(argument->type.type)) throw ProcedureExpectsText(parameter);
  return std::get<std::string>(argument->value);
}

std::int64_t HandleArgument(const ProcedureArgument* argument) {
  if (!argument || IsNull(argument->value)) throw PreparedHandleNotFound(0);
  if (const auto* i = std::get_if<std::int64_t>(&argument->value)) return *i;
  throw PreparedHandleNotFound(0);
}

// Text of a value for the procedures that take names and paths.
std::string PlainText(const Value& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
  if (const auto* t = std::get_if<std::string>(&value)) return *t;
  return {};
}

ColumnType IntType() {
  ColumnType type;
  type.type = SqlType::Int;
  return type;
}

// A constant of an EXEC argument list as a typed procedure argument.
ProcedureArgument ArgumentFromScalar(const Scalar& scalar) {
  ProcedureArgument out;
  switch (scalar.kind) {
    case Scalar::Kind::kNull:
      out.type.type = SqlType::Int;
      break;
    case Scalar::Kind::kInt:
      out.type.type = SqlType::Int;
      out.value = scalar.int_value;
      break;
    case Scalar::Kind::kFloat:
      out.type.type = SqlType::Float;
      out.value = scalar.float_value;
      break;
    case Scalar::Kind::kDecimal: {
      out.type.type = SqlType::Decimal;
      const std::size_t point = scalar.text.find('.');
      out.type.scale =
          point == std::string::npos ? 0 : static_cast<int>(scalar.text.size() - point - 1);
      out.type.precision = 38;
      out.value = scalar.text;
      break;
    }
    case Scalar::Kind::kVarChar:
    case Scalar::Kind::kNVarChar:
      out.type.type = scalar.kind == Scalar::Kind::kVarChar ? SqlType::VarChar : SqlType::NVarChar;
      out.type.length = ColumnType::kMax;
      out.value = scalar.text;
      break;
    case Scalar::Kind::kBinary:
      out.type.type = SqlType::VarBinary;
      out.type.length = ColumnType::kMax;
      out.value = Blob{scalar.text};
      break;
  }
  return out;
}

// One row of sp_datatype_info: a type as ODBC's SQLGetTypeInfo describes it (ODBC 3 codes).
struct TypeInfo {
  const char* name;
  int data_type;
  long long precision;
  const char* prefix;  // of a literal, nullptr: none
  const char* suffix;
  const char* create_params;
  int searchable;          // 0 none, 1 LIKE only, 2 all but LIKE, 3 all
  int unsigned_attribute;  // -1: not a number
  bool money;
  int minimum_scale;  // -1: none
  int maximum_scale;
  int radix;  // 0: none
};

constexpr TypeInfo kTypeInfo[] = {
    {"datetimeoffset", -155, 34, "'", "'", "scale", 3, -1, false, 0, 7, 0},
    {"time", -154, 16, "'", "'", "scale", 3, -1, false, 0, 7, 0},
    {"xml", -152, 0, "N'", "'", nullptr, 0, -1, false, -1, -1, 0},
    {"uniqueidentifier", -11, 36, "'", "'", nullptr, 2, -1, false, -1, -1, 0},
    {"ntext", -10, 1073741823, "N'", "'", nullptr, 1, -1, false, -1, -1, 0},
    {"nvarchar", -9, 4000, "N'", "'", "max length", 3, -1, false, -1, -1, 0},
    {"nchar", -8, 4000, "N'", "'", "length", 3, -1, false, -1, -1, 0},
    {"bit", -7, 1, nullptr, nullptr, nullptr, 2, -1, false, 0, 0, 0},
    {"tinyint", -6, 3, nullptr, nullptr, nullptr, 2, 1, false, 0, 0, 10},
    {"bigint", -5, 19, nullptr, nullptr, nullptr, 2, 0, false, 0, 0, 10},
    {"image", -4, 2147483647, "0x", nullptr, nullptr, 0, -1, false, -1, -1, 0},
    {"varbinary", -3, 8000, "0x", nullptr, "max length", 2, -1, false, -1, -1, 0},
    {"binary", -2, 8000, "0x", nullptr, "length", 2, -1, false, -1, -1, 0},
    {"timestamp", -2, 8, "0x", nullptr, nullptr, 2, -1, false, -1, -1, 0},
    {"text", -1, 2147483647, "'", "'", nullptr, 1, -1, false, -1, -1, 0},
    {"char", 1, 8000, "'", "'", "length", 3, -1, false, -1, -1, 0},
    {"numeric", 2, 38, nullptr, nullptr, "precision,scale", 2, 0, false, 0, 38, 10},
    {"decimal", 3, 38, nullptr, nullptr, "precision,scale", 2, 0, false, 0, 38, 10},
    {"money", 3, 19, "$", nullptr, nullptr, 2, 0, true, 4, 4, 10},
    {"smallmoney", 3, 10, "$", nullptr, nullptr, 2, 0, true, 4, 4, 10},
    {"int", 4, 10, nullptr, nullptr, nullptr, 2, 0, false, 0, 0, 10},
    {"smallint", 5, 5, nullptr, nullptr, nullptr, 2, 0, false, 0, 0, 10},
    {"float", 6, 53, nullptr, nullptr, nullptr, 2, 0, false, -1, -1, 2},
    {"real", 7, 24, nullptr, nullptr, nullptr, 2, 0, false, -1, -1, 2},
    {"varchar", 12, 8000, "'", "'", "max length", 3, -1, false, -1, -1, 0},
    {"date", 91, 10, "'", "'", nullptr, 3, -1, false, -1, -1, 0},
    {"datetime", 93, 23, "'", "'", nullptr, 3, -1, false, 3, 3, 0},
    {"datetime2", 93, 27, "'", "'", "scale", 3, -1, false, 0, 7, 0},
    {"smalldatetime", 93, 16, "'", "'", nullptr, 3, -1, false, 0, 0, 0},
};

}  // namespace

void SessionImpl::SpDataTypeInfo(const ProcedureCall& call, std::vector<OutputValue>&) {
  auto number = [&](std::size_t position, const char* name, std::int64_t fallback) {
    const ProcedureArgument* argument = ArgumentAt(call, position, name);
    if (!argument) return fallback;
    const auto* value = std::get_if<std::int64_t>(&argument->value);
    return value ? *value : fallback;
  };
  const std::int64_t wanted = number(0, "@data_type", 0);
  // ODBC 2 numbers the date and time types 9, 10 and 11.
  const bool odbc2 = number(1, "@ODBCVer", 2) == 2;
  auto odbc_type = [odbc2](int type) {
    if (odbc2 && type >= 91 && type <= 93) return type - 82;
    return type;
  };
  auto small = [](SqlType type = SqlType::SmallInt) { return ColumnType{type, 0, 0, 0}; };
  const ColumnType sysname{SqlType::NVarChar, 128, 0, 0};
  const ColumnType text{SqlType::VarChar, 32, 0, 0};
  const std::vector<ResultColumn> columns = {{"TYPE_NAME", sysname, false, false},
                                             {"DATA_TYPE", small(), false, false},
                                             {"PRECISION", small(SqlType::Int), true, false},
                                             {"LITERAL_PREFIX", text, true, false},
                                             {"LITERAL_SUFFIX", text, true, false},
                                             {"CREATE_PARAMS", text, true, false},
                                             {"NULLABLE", small(), false, false},
                                             {"CASE_SENSITIVE", small(), false, false},
                                             {"SEARCHABLE", small(), false, false},
                                             {"UNSIGNED_ATTRIBUTE", small(), true, false},
                                             {"MONEY", small(), false, false},
                                             {"AUTO_INCREMENT", small(), true, false},
                                             {"LOCAL_TYPE_NAME", sysname, true, false},
                                             {"MINIMUM_SCALE", small(), true, false},
                                             {"MAXIMUM_SCALE", small(), true, false},
                                             {"SQL_DATA_TYPE", small(), false, false},
                                             {"SQL_DATETIME_SUB", small(), true, false},
                                             {"NUM_PREC_RADIX", small(SqlType::Int), true, false},
                                             {"INTERVAL_PRECISION", small(), true, false},
                                             {"USERTYPE", small(), true, false}};
  auto text_or_null = [](const char* value) -> Value {
    return value ? Value{std::string(value)} : Value{};
  };
  auto number_or_null = [](long long value) -> Value {
    return value < 0 ? Value{} : Value{static_cast<std::int64_t>(value)};
  };
  sink_->Columns(columns);
  long long rows = 0;
  for (const TypeInfo& type : kTypeInfo) {
    const int data_type = odbc_type(type.data_type);
    if (wanted != 0 && wanted != data_type && wanted != type.data_type) continue;
    const bool dated = type.data_type >= 91 && type.data_type <= 93;
    sink_->RowData({std::string(type.name),
                    std::int64_t{data_type},
                    std::int64_t{type.precision},
                    text_or_null(type.prefix),
                    text_or_null(type.suffix),
                    text_or_null(type.create_params),
                    std::int64_t{1},
                    std::int64_t{0},
                    std::int64_t{type.searchable},
                    number_or_null(type.unsigned_attribute),
                    std::int64_t{type.money ? 1 : 0},
                    type.unsigned_attribute < 0 ? Value{} : Value{std::int64_t{0}},
                    std::string(type.name),
                    number_or_null(type.minimum_scale),
                    number_or_null(type.maximum_scale),
                    std::int64_t{dated ? (odbc2 ? data_type : 9) : data_type},
                    dated ? Value{std::int64_t{type.data_type - 90}} : Value{},
                    type.radix ? Value{std::int64_t{type.radix}} : Value{},
                    Value{},
                    Value{}});
    ++rows;
  }
  sink_->CommandDone(rows, false, DoneCommand::kSelect);
}

void SessionImpl::ExecuteProcedure(const ProcedureCall& call, ResultSink& sink) {
  sink_ = &sink;
  const int errors_before = errors_reported_;
  std::vector<OutputValue> outputs;
  try {
    outputs = RunProcedure(call);
  } catch (const Cancelled&) {
    AbortOnCancel();
    return;
  } catch (const SqlError& error) {
    SqlError e = error;
    if (e.line == 0) e.line = 1;
    ReportError(e);
    if (xact_abort_ && trancount_ > 0) RollbackTran();
  } catch (const SqlErrorList& list) {
    for (SqlError e : list.errors) {
      if (e.line == 0) e.line = 1;
      ReportError(e);
    }
  }
  CloseUnused();
  if (errors_reported_ != errors_before) return;
  sink.ReturnStatus(0);
  for (const OutputValue& output : outputs) {
    sink.ReturnValue(output.ordinal, output.name, output.type, output.value);
  }
}

std::vector<SessionImpl::OutputValue> SessionImpl::RunProcedure(const ProcedureCall& call) {
  using Handler = void (SessionImpl::*)(const ProcedureCall&, std::vector<OutputValue>&);
  static const std::pair<const char*, Handler> kProcedures[] = {
      {"sp_executesql", &SessionImpl::SpExecuteSql},
      {"sp_prepare", &SessionImpl::SpPrepare},
      {"sp_execute", &SessionImpl::SpExecute},
      {"sp_prepexec", &SessionImpl::SpPrepExec},
      {"sp_unprepare", &SessionImpl::SpUnprepare},
      {"sp_attach_db", &SessionImpl::SpAttachDb},
      {"sp_detach_db", &SessionImpl::SpDetachDb},
      {"sp_datatype_info", &SessionImpl::SpDataTypeInfo},
      {"sp_datatype_info_100", &SessionImpl::SpDataTypeInfo},
  };
  for (const auto& [name, handler] : kProcedures) {
    if (!EqualsNoCase(call.procedure, name)) continue;
    std::vector<OutputValue> outputs;
    (this->*handler)(call, outputs);
    return outputs;
  }
  throw StoredProcedureNotFound(call.procedure);
}

void SessionImpl::ExecProcedure(const ExecStatement& exec) {
  ProcedureCall call;
  call.procedure = exec.procedure;
  ConstantEvaluator evaluator(tokens_, ConvertDateFormat());
  for (std::size_t k = 0; k < exec.args.size(); ++k) {
    ProcedureArgument argument;
    if (IsDefaultArgument(exec.args[k])) {
      argument.is_default = true;
    } else {
      argument = ArgumentFromScalar(evaluator.Evaluate(exec.args[k]));
    }
    argument.name = k < exec.arg_names.size() ? exec.arg_names[k] : std::string();
    call.arguments.push_back(std::move(argument));
  }
  // A batch has no variables to receive OUTPUT values: they are dropped.
  RunProcedure(call);
}

void SessionImpl::SpExecuteSql(const ProcedureCall& call, std::vector<OutputValue>& outputs) {
  const ProcedureArgument* statement = ArgumentAt(call, 0, "@stmt");
  if (!statement) throw ProcedureArgumentMissing("sp_executesql", "@statement");
  PreparedStatement prepared{TextArgument(statement, "@statement"),
                             TextArgument(ArgumentAt(call, 1, "@params"), "@parameters")};
  RunParameterized(call, prepared, 2, outputs);
}

int SessionImpl::Prepare(const ProcedureCall& call) {
  PreparedStatement prepared{TextArgument(ArgumentAt(call, 2, "@stmt"), "@stmt"),
                             TextArgument(ArgumentAt(call, 1, "@params"), "@params")};
  ParseParameterDeclarations(prepared.params);  // refuses a bad list now, as SQL Server does
  const int handle = next_handle_++;
  prepared_[handle] = std::move(prepared);
  return handle;
}

void SessionImpl::SpPrepare(const ProcedureCall& call, std::vector<OutputValue>& outputs) {
  outputs.push_back({0, kHandle, IntType(), std::int64_t{Prepare(call)}});
}

void SessionImpl::SpPrepExec(const ProcedureCall& call, std::vector<OutputValue>& outputs) {
  const int handle = Prepare(call);
  outputs.push_back({0, kHandle, IntType(), std::int64_t{handle}});
  RunParameterized(call, prepared_[handle], 3, outputs);
}

void SessionImpl::SpExecute(const ProcedureCall& call, std::vector<OutputValue>& outputs) {
  const std::int64_t handle = HandleArgument(ArgumentAt(call, 0, kHandle));
  const auto it = prepared_.find(static_cast<int>(handle));
  if (it == prepared_.end()) throw PreparedHandleNotFound(handle);
  const PreparedStatement prepared = it->second;  // the run may unprepare it
  RunParameterized(call, prepared, 1, outputs);
}

void SessionImpl::SpUnprepare(const ProcedureCall& call, std::vector<OutputValue>&) {
  const std::int64_t handle = HandleArgument(ArgumentAt(call, 0, kHandle));
  if (prepared_.erase(static_cast<int>(handle)) == 0) throw PreparedHandleNotFound(handle);
}

void SessionImpl::RunParameterized(const ProcedureCall& call, const PreparedStatement& statement,
                                   std::size_t first_value, std::vector<OutputValue>& outputs) {
  const std::vector<ParameterDeclaration> declarations =
      ParseParameterDeclarations(statement.params);
  std::vector<std::optional<BoundParameter>> bound(declarations.size());
  std::size_t position = 0;
  for (std::size_t k = first_value; k < call.arguments.size(); ++k) {
    const ProcedureArgument& argument = call.arguments[k];
    std::size_t index = position++;
    if (!argument.name.empty()) {
      index = declarations.size();
      for (std::size_t d = 0; d < declarations.size(); ++d) {
        if (EqualsNoCase(declarations[d].name, argument.name)) index = d;
      }
      if (index == declarations.size()) throw NotAParameter(argument.name, call.procedure);
    } else if (index >= declarations.size()) {
      throw TooManyArguments(call.procedure);
    }
    if (argument.is_default) continue;
    const ParameterDeclaration& declaration = declarations[index];
    bound[index] =
        BoundParameter{declaration.name, declaration.type, argument.type, argument.value};
    if (argument.output) {
      // Nothing in a statement can assign to a parameter here: it comes back as it went in.
      const Scalar scalar = ScalarFromValue(argument.value, argument.type);
      ColumnTarget target{"", "", "", declaration.type};
      outputs.push_back({static_cast<int>(k), declaration.name, declaration.type,
                         ConvertForCast(scalar, target, ConvertDateFormat())});
    }
  }
  std::vector<BoundParameter> parameters;
  for (std::size_t d = 0; d < declarations.size(); ++d) {
    if (!bound[d]) {
      throw ParameterNotSupplied(statement.params, statement.sql, declarations[d].name);
    }
    parameters.push_back(std::move(*bound[d]));
  }
  RunBatch(statement.sql, parameters);
}

void SessionImpl::SpAttachDb(const ProcedureCall& call, std::vector<OutputValue>&) {
  const ProcedureArgument* database = ArgumentAt(call, 0, "@dbname");
  if (!database) throw ProcedureArgumentMissing("sp_attach_db", "@dbname");
  std::vector<std::string> files;
  for (std::size_t n = 1; n <= 16; ++n) {
    const std::string name = "@filename" + std::to_string(n);
    if (const ProcedureArgument* file = ArgumentAt(call, n, name.c_str())) {
      files.push_back(PlainText(file->value));
    }
  }
  if (files.empty()) throw ProcedureArgumentMissing("sp_attach_db", "@filename1");
  if (call.arguments.size() > 17) throw TooManyArguments("sp_attach_db");
  CheckNoTransaction("CREATE DATABASE");
  catalog_.Attach(PlainText(database->value), files);
}

void SessionImpl::SpDetachDb(const ProcedureCall& call, std::vector<OutputValue>&) {
  const ProcedureArgument* database = ArgumentAt(call, 0, "@dbname");
  if (!database) throw ProcedureArgumentMissing("sp_detach_db", "@dbname");
  if (call.arguments.size() > 3) throw TooManyArguments("sp_detach_db");
  CheckNoTransaction("ALTER DATABASE");
  catalog_.Detach(PlainText(database->value));
}

}  // namespace sandbox
