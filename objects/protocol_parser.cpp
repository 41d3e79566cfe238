#include "objects/protocol_parser.h"

namespace {

bool IsBlankOrControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u <= 0x20 || u == 0x7f;
}

bool IsWordEnd(char c) { return c == ' ' || c == '\0' || c == '\r' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlankOrControl(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

int ArgumentCount(std::int32_t code) {
  switch (code) {
    case 162:
    case 170:
    case 311:
      return 1;
    case 164:
    case 320:
    case 321:
    case 701:
      return 2;
    case 310:
      return 3;
    default:
      return 0;
  }
}

void ParseLine(TAEOS_Parser& parser, std::string_view line) {
  parser.code = 0;
  if (line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2])) {
    parser.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
  }
  parser.command = "UNKNOWN";
  parser.args.clear();
  parser.line = line;

  const int n = ArgumentCount(parser.code);
  if (n == 0 || line.size() < 5) {
    return;
  }
  // The code and one separator are passed over, whatever that separator is.
  std::size_t at = 4;
  const std::size_t wordStart = at;
  while (at < line.size() && !IsWordEnd(line[at])) {
    ++at;
  }
  parser.command = TrimBlanks(line.substr(wordStart, at - wordStart));
  for (char& c : parser.command) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  std::string_view rest = at < line.size() ? line.substr(at + 1) : std::string_view();

  if (parser.command == "OBJECTUPDATE") {
    rest = TrimBlanks(rest);
    if (!rest.empty()) {
      parser.args.emplace_back(rest);
    }
    return;
  }
  while (static_cast<int>(parser.args.size()) < n - 1) {
    std::size_t start = 0;
    while (start < rest.size() && IsWordEnd(rest[start])) {
      ++start;
    }
    if (start == rest.size()) {
      return;
    }
    std::size_t end = start;
    while (end < rest.size() && !IsWordEnd(rest[end])) {
      ++end;
    }
    const std::string_view piece = TrimBlanks(rest.substr(start, end - start));
    if (!piece.empty()) {
      parser.args.emplace_back(piece);
    }
    rest = rest.substr(end);
  }
  rest = TrimBlanks(rest);
  if (!rest.empty()) {
    parser.args.emplace_back(rest);
  }
}

std::string GetArg(const TAEOS_Parser& parser, int i) {
  if (i < 0 || i >= static_cast<int>(parser.args.size())) {
    return "UNKNOWN";
  }
  return parser.args[static_cast<std::size_t>(i)];
}
