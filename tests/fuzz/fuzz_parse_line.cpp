// Protocol lines come from the network: ParseLine and the statement tokenizer
// must take any bytes without crashing or looping.
#include "objects/protocol_parser.h"
#include "objects/statements.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  TAEOS_Parser parser;
  ParseLine(parser, line);
  if (parser.code < 0 || parser.code > 999 || parser.line != line ||
      static_cast<int>(parser.args.size()) > ArgumentCount(parser.code)) {
    std::abort();
  }
  for (int i = -1; i <= static_cast<int>(parser.args.size()); ++i) {
    (void)GetArg(parser, i);
  }

  // Every token takes at least one character off the line.
  for (;;) {
    const std::size_t before = parser.line.size();
    if (NextToken(parser).empty()) {
      break;
    }
    if (parser.line.size() >= before) {
      std::abort();
    }
  }
  return 0;
}
