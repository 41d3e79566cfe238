// TAEOS_Parser: splits a line of the server protocol into its three-digit code,
// its command word and its arguments. Its `line` also serves as the read cursor
// of statement reading (objects/statements.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TAEOS_Parser {
 public:
  std::string line;     // the parsed line, or the unread rest of a statement
  std::string command;  // upper case; "UNKNOWN" when the line has none
  std::vector<std::string> args;
  std::int32_t code = -1;  // 0 when the line does not start with three digits
  std::string token;       // scratch of statement reading
};

// Number of arguments that lines of this code carry.
int ArgumentCount(std::int32_t code);

// Fills code, command, args and line. Never fails.
void ParseLine(TAEOS_Parser& parser, std::string_view line);

// Argument i (from 0), or "UNKNOWN" when there is no such argument.
std::string GetArg(const TAEOS_Parser& parser, int i);

// Bytes up to and including space count as blanks and control characters, as
// does DEL; trimming strips them from both ends.
std::string_view TrimBlanks(std::string_view text);
