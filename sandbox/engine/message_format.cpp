#include "sandbox/engine/message_format.h"

#include <algorithm>
#include <cstdio>

#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/utf8.h"

namespace sandbox {
namespace {

constexpr std::size_t kMaxMessage = 2047;

bool IsText(const Scalar& value) {
  return value.kind == Scalar::Kind::kVarChar || value.kind == Scalar::Kind::kNVarChar;
}

[[noreturn]] void WrongType(int number) {
  throw SubstitutionTypeMismatch(number);
}

// Pads text to width, on the right when left-aligned.
std::string Pad(std::string text, int width, bool left, char fill) {
  const std::size_t length = Utf16Length(text);
  if (width <= 0 || length >= static_cast<std::size_t>(width)) return text;
  const std::string padding(static_cast<std::size_t>(width) - length, fill);
  if (left) return text + padding;
  if (fill == '0' && !text.empty() && (text[0] == '-' || text[0] == '+' || text[0] == ' ')) {
    return text.substr(0, 1) + padding + text.substr(1);
  }
  return padding + text;
}

}  // namespace

std::string FormatRaiseErrorMessage(const std::string& format, const std::vector<Scalar>& args) {
  std::string out;
  std::size_t next_arg = 0;
  auto take = [&]() -> const Scalar* {
    return next_arg < args.size() ? &args[next_arg++] : nullptr;
  };
  auto number = [&](std::size_t& i) {
    if (i < format.size() && format[i] == '*') {
      ++i;
      const Scalar* arg = take();
      return arg && arg->kind == Scalar::Kind::kInt ? static_cast<int>(arg->int_value) : 0;
    }
    int value = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      value = value * 10 + (format[i++] - '0');
    }
    return value;
  };
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    const std::size_t start = i++;
    if (i < format.size() && format[i] == '%') {
      out += '%';
      continue;
    }
    bool left = false;
    bool plus = false;
    bool blank = false;
    bool alternate = false;
    char fill = ' ';
    for (; i < format.size(); ++i) {
      const char c = format[i];
      if (c == '-') {
        left = true;
      } else if (c == '+') {
        plus = true;
      } else if (c == ' ') {
        blank = true;
      } else if (c == '#') {
        alternate = true;
      } else if (c == '0') {
        fill = '0';
      } else {
        break;
      }
    }
    const int width = number(i);
    int precision = -1;
    if (i < format.size() && format[i] == '.') {
      ++i;
      precision = number(i);
    }
    if (i < format.size() && (format[i] == 'h' || format[i] == 'l')) ++i;
    if (i >= format.size()) {
      out += format.substr(start);
      break;
    }
    const char type = format[i];
    const int position = static_cast<int>(next_arg) + 1;
    const Scalar* arg = take();
    std::string text;
    if (!arg) {
      text = "(null)";
    } else if (type == 's') {
      if (!IsText(*arg) && arg->kind != Scalar::Kind::kNull) WrongType(position);
      text = arg->kind == Scalar::Kind::kNull ? "(null)" : arg->text;
      if (precision >= 0) {
        std::u32string code_points = DecodeUtf8(text);
        if (code_points.size() > static_cast<std::size_t>(precision)) {
          code_points.resize(static_cast<std::size_t>(precision));
        }
        text = EncodeUtf8(code_points);
      }
    } else if (type == 'd' || type == 'i' || type == 'u' || type == 'o' || type == 'x' ||
               type == 'X') {
      if (arg->kind == Scalar::Kind::kNull) {
        text = "(null)";
      } else {
        if (arg->kind != Scalar::Kind::kInt) WrongType(position);
        // printf's own forms; a precision is the least number of digits.
        std::string form = "%";
        if (plus) form += '+';
        if (blank) form += ' ';
        if (alternate && type != 'd' && type != 'i' && type != 'u') form += '#';
        form += ".*ll";
        form += type == 'i' ? 'd' : type;
        const long long value = arg->int_value;
        const auto bits = static_cast<unsigned long long>(static_cast<unsigned int>(value));
        const int digits = precision < 0 ? 1 : std::min(precision, 64);
        char buffer[96];
        if (type == 'd' || type == 'i') {
          std::snprintf(buffer, sizeof buffer, form.c_str(), digits, value);
        } else {
          std::snprintf(buffer, sizeof buffer, form.c_str(), digits, bits);
        }
        text = buffer;
        fill = ' ';  // 0 is ignored with the integer types
      }
    } else {
      // Not a placeholder T-SQL knows: printed as written.
      if (arg) --next_arg;
      out += format.substr(start, i - start + 1);
      continue;
    }
    out += Pad(text, width, left, left ? ' ' : fill);
  }
  // A longer message keeps its first 2,044 characters and ends in an ellipsis.
  std::u32string code_points = DecodeUtf8(out);
  if (code_points.size() > kMaxMessage) {
    code_points.resize(kMaxMessage - 3);
    code_points += U"...";
  }
  return EncodeUtf8(code_points);
}

}  // namespace sandbox
