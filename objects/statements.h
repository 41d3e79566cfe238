// Object update statements: the text form of the tree and of its changes.
//
//   X                      top-level object X exists
//   A.[c].X                X is a member of collection [c] of A
//   X.v=text               value v of X holds text (the rest of the statement)
//   X.k->Y                 link k of X points to Y ("" unlinks)
//   A.[c].*.v=text         value of the collection's star (template) object
//   delete X.m / delete X  remove value and link m (or collection m), or all of X
//
// In a text, statements end with ";\r\n"; a ";" followed by CR, LF or the end
// of the text ends one. WriteStatements and ReadStatement of the tree classes
// are defined in statements.cpp; the declarations are in objects/tree.h.
#pragma once

#include "objects/protocol_parser.h"
#include "objects/tree.h"

#include <string>
#include <string_view>

// Longest statement that Apply takes; a longer one is refused whole, since a
// cut one could name a different member or carry a damaged value.
inline constexpr std::size_t kMaxStatementLength = 31999;

// One statement for one change event, or "" (no object, or a private object
// when publicOnly). Value and link statements end with ";\r\n", the others not.
std::string DescribeEvent(const TAE_Event& event, bool publicOnly);

// Takes the next token off the front of parser.line: a name, "=" or "->".
// Returns "" (and leaves the line) when only separators remain.
std::string NextToken(TAEOS_Parser& parser);

// An object whose name begins with "(" is private: never written publicly.
inline bool IsPrivateName(std::string_view name) { return !name.empty() && name.front() == '('; }
