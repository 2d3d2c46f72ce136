#include "sandbox/tds/rpc_request.h"

#include "sandbox/tds/messages.h"
#include "sandbox/tds/text_encoding.h"
#include "sandbox/tds/value_decoding.h"
#include "sandbox/tds/value_encoding.h"

namespace sandbox::tds {
namespace {

constexpr std::uint16_t kProcedureById = 0xFFFF;
constexpr std::uint8_t kByReference = 0x01;  // an OUTPUT parameter
constexpr std::uint8_t kDefaultValue = 0x02;
constexpr std::uint8_t kEncrypted = 0x08;

// A procedure name without its database and schema ("master.dbo.sp_attach_db").
std::string BareName(std::string name) {
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name = name.substr(dot + 1);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  return name;
}

// The bytes that end one call of a batch of calls: 0x80 before TDS 7.2, then 0xFF, or 0xFE
// when the next call is not to be run.
bool IsSeparator(std::uint8_t byte, std::uint32_t tds_version) {
  return tds_version < kTds72 ? byte == 0x80 : byte == 0xFF || byte == 0xFE;
}

ProcedureCall ParseCall(WireReader& r, std::uint32_t tds_version) {
  ProcedureCall call;
  const std::uint16_t length = r.U16();
  call.procedure = length == kProcedureById ? WellKnownProcedure(r.U16())
                                            : BareName(Utf16LeToUtf8(r.Take(length * 2u)));
  r.U16();  // option flags: recompile and metadata hints mean nothing here
  while (r.Remaining() > 0 && !IsSeparator(r.Rest()[0], tds_version)) {
    ProcedureArgument argument;
    argument.name = Utf16LeToUtf8(r.Take(r.U8() * 2u));
    const std::uint8_t status = r.U8();
    if (status & kEncrypted) {
      throw ValueError("encrypted parameters are not supported by this stand-in");
    }
    argument.output = (status & kByReference) != 0;
    argument.is_default = (status & kDefaultValue) != 0;
    TypedValue value = ReadTypedValue(r);
    argument.type = value.type;
    argument.value = std::move(value.value);
    call.arguments.push_back(std::move(argument));
  }
  return call;
}

}  // namespace

std::vector<ProcedureCall> ParseRpcRequest(std::span<const std::uint8_t> payload,
                                           std::uint32_t tds_version) {
  WireReader r(payload);
  SkipAllHeaders(r, tds_version);
  std::vector<ProcedureCall> calls;
  do {
    calls.push_back(ParseCall(r, tds_version));
    if (r.Remaining() > 0) r.U8();  // the separator
  } while (r.Remaining() > 0);
  return calls;
}

}  // namespace sandbox::tds
