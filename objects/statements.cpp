#include "objects/statements.h"

namespace {

constexpr std::string_view kEnd = ";\r\n";
constexpr std::string_view kDelete = "delete ";

bool IsTokenSkip(char c) { return c == '\n' || c == '\r' || c == ';' || c == ' ' || c == '.' || c == ','; }

bool IsTokenEnd(std::string_view t, std::size_t j) {
  const char c = t[j];
  return c == '=' || c == '.' || c == ';' || c == ',' || (c == '-' && j + 1 < t.size() && t[j + 1] == '>');
}

bool IsStatementGap(char c) { return c == '\r' || c == '\n' || c == ';' || c == ' ' || c == '\t'; }

void AppendHeader(std::string& out, const TAE_Object& object) {
  if (object.owner != nullptr && object.owner->ownerObject != nullptr) {
    out += object.owner->ownerObject->name;
    out += '.';
    out += object.owner->name;
    out += '.';
    out += object.name;
  } else {
    out += object.GetPath();
  }
}

void AppendValueStatement(std::string& out, const TAE_Object& object, const TAE_KeyValue& value) {
  out += object.name;
  out += '.';
  out += value.name;
  out += '=';
  out += value.value;
  out += kEnd;
}

void AppendLinkStatement(std::string& out, const TAE_Object& object, const TAE_KeyObject& key) {
  out += object.name;
  out += '.';
  out += key.name;
  out += "->";
  out += key.targetName;
  out += kEnd;
}

void AppendObjectStatements(std::string& out, const TAE_Object& object, bool publicOnly);

void AppendCollectionStatements(std::string& out, const TAE_KeyCollection& collection, bool publicOnly) {
  if (collection.starObject != nullptr) {
    AppendObjectStatements(out, *collection.starObject, publicOnly);
  }
  for (const TAE_Object* member : collection.members) {
    AppendObjectStatements(out, *member, publicOnly);
  }
}

void AppendObjectStatements(std::string& out, const TAE_Object& object, bool publicOnly) {
  if (publicOnly && IsPrivateName(object.name)) {
    return;
  }
  AppendHeader(out, object);
  out += kEnd;
  for (const TAE_KeyValue* value : object.values) {
    AppendValueStatement(out, object, *value);
  }
  for (const TAE_KeyObject* key : object.keys) {
    AppendLinkStatement(out, object, *key);
  }
  for (const TAE_KeyCollection* collection : object.collections) {
    AppendCollectionStatements(out, *collection, publicOnly);
  }
}

void ApplyDeletion(TAE_Root& root, std::string_view statement) {
  const std::string_view rest = TrimBlanks(statement.substr(kDelete.size()));
  std::size_t split = rest.find(' ');
  if (split == std::string_view::npos) {
    split = rest.find('.');
  }
  if (split == std::string_view::npos) {
    root.DeleteMember(rest, {});
    return;
  }
  root.DeleteMember(rest.substr(0, split), TrimBlanks(rest.substr(split + 1)));
}

}  // namespace

namespace {

enum class Token { kNone, kName, kAssign, kArrow };

// Takes the next token off the front of line; its text goes into *text unless
// that is null. The buffer is reused, so reading allocates nothing per token.
Token TakeToken(std::string& line, std::string* text) {
  const std::string_view t = line;
  const std::size_t n = t.size();
  std::size_t i = 0;
  for (; i < n; ++i) {
    const bool arrow = t[i] == '-' && i + 1 < n && t[i + 1] == '>';
    if (arrow || t[i] == '=') {
      const std::size_t length = arrow ? 2 : 1;
      if (text != nullptr) {
        text->assign(line, i, length);
      }
      line.erase(0, i + length);
      return arrow ? Token::kArrow : Token::kAssign;
    }
    if (!IsTokenSkip(t[i])) {
      break;
    }
  }
  if (i == n) {
    return Token::kNone;
  }
  std::size_t j = i + 1;
  while (j < n && !IsTokenEnd(t, j)) {
    ++j;
  }
  if (text != nullptr) {
    text->assign(line, i, j - i);
  }
  line.erase(0, j);
  return Token::kName;
}

}  // namespace

std::string NextToken(TAEOS_Parser& parser) {
  std::string text;
  TakeToken(parser.line, &text);
  return text;
}

std::string DescribeEvent(const TAE_Event& event, bool publicOnly) {
  const TAE_Object* object = event.object;
  if (object == nullptr || (publicOnly && IsPrivateName(object->name))) {
    return {};
  }
  std::string out;
  if (event.deleted) {
    if (event.key != nullptr && event.linkStays) {
      // The link stays: cleared for good, or about to point elsewhere (the
      // *link set* event that follows says where).
      if (event.key->targetName.empty()) {
        AppendLinkStatement(out, *object, *event.key);
      }
      return out;
    }
    out = kDelete;
    out += object->name;
    if (event.value != nullptr) {
      out += '.';
      out += event.value->name;
    } else if (event.key != nullptr) {
      out += '.';
      out += event.key->name;
    }
    return out;
  }
  if (event.value != nullptr) {
    AppendValueStatement(out, *object, *event.value);
  } else if (event.key != nullptr) {
    AppendLinkStatement(out, *object, *event.key);
  } else {
    AppendHeader(out, *object);
  }
  return out;
}

// ---- writing ----

std::string TAE_Object::WriteStatements(bool publicOnly) const {
  std::string out;
  AppendObjectStatements(out, *this, publicOnly);
  return out;
}

std::string TAE_KeyCollection::WriteStatements(bool publicOnly) const {
  std::string out;
  AppendCollectionStatements(out, *this, publicOnly);
  return out;
}

std::string TAE_Root::WriteStatements(bool publicOnly) const {
  std::string out;
  // Every top-level object is named first: a link to one further down would
  // otherwise create it early on the reading side and change the order.
  for (const TAE_Object* object : objects) {
    if (!(publicOnly && IsPrivateName(object->name))) {
      out += object->name;
      out += kEnd;
    }
  }
  for (const TAE_Object* object : objects) {
    AppendObjectStatements(out, *object, publicOnly);
  }
  return out;
}

// ---- reading ----

// The three readers share parser.token: each is done with its name before it
// hands the parser on.
void TAE_Root::ReadStatement(TAEOS_Parser& parser) {
  while (TakeToken(parser.line, &parser.token) != Token::kNone) {
    TAE_Object* object = FindObject(parser.token, true);
    if (object == nullptr) {
      parser.line.clear();
      return;
    }
    object->ReadStatement(parser);
  }
}

void TAE_Object::ReadStatement(TAEOS_Parser& parser) {
  if (TakeToken(parser.line, &parser.token) == Token::kNone) {
    return;
  }
  if (parser.token.front() == '[') {
    TAE_KeyCollection* collection = FindCollection(parser.token, true);
    if (collection == nullptr) {
      parser.line.clear();
      return;
    }
    collection->ReadStatement(parser);
    return;
  }
  const Token op = TakeToken(parser.line, nullptr);
  if (op == Token::kAssign) {
    TAE_KeyValue* value = FindValue(parser.token, true);
    if (value->value != parser.line) {
      value->value.assign(parser.line);
      root->FireEvent(false, this, value, nullptr);
    }
  } else if (op == Token::kArrow) {
    const std::string target(TrimBlanks(parser.line));
    TAE_KeyObject* key = FindKey(parser.token, true);
    if (key->targetName != target) {
      key->SetTarget(target);
    }
  }
  parser.line.clear();
}

void TAE_KeyCollection::ReadStatement(TAEOS_Parser& parser) {
  if (TakeToken(parser.line, &parser.token) == Token::kNone) {
    return;
  }
  TAE_Object* object = parser.token == "*" ? StarObject(true) : FindMember(parser.token, true);
  if (object == nullptr) {
    parser.line.clear();
    return;
  }
  object->ReadStatement(parser);
}

void TAE_Root::Apply(std::string_view text) {
  if (applyDepth > 0) {
    actions.Append(std::make_unique<TAE_Action>(TAE_Action{"Update", std::string(text)}));
  }
  ++applyDepth;
  ApplyNow(text);
  --applyDepth;
  if (applyDepth > 0) {
    return;
  }
  applyDepth = 0;
  // Texts that handlers queued are applied once more now, one after another
  // (a loop, where a chain of nested calls could grow without bound).
  for (;;) {
    TAE_Action* action = nullptr;
    for (TAE_Action* candidate : actions) {
      if (candidate->name == "Update") {
        action = candidate;
        break;
      }
    }
    if (action == nullptr) {
      return;
    }
    actions.Remove(action, false);
    const std::unique_ptr<TAE_Action> owned(action);
    ++applyDepth;
    ApplyNow(owned->text);
    --applyDepth;
  }
}

void TAE_Root::ApplyNow(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  TAEOS_Parser parser;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    std::size_t end = text.size();
    for (std::size_t at = text.find(';', pos); at != std::string_view::npos; at = text.find(';', at + 1)) {
      if (at + 1 == text.size() || text[at + 1] == '\r' || text[at + 1] == '\n') {
        end = at;
        break;
      }
    }
    pos = end;
    while (pos < text.size() && IsStatementGap(text[pos])) {
      ++pos;
    }
    const std::string_view statement = text.substr(start, end - start);
    if (statement.empty() || statement.size() > kMaxStatementLength) {
      continue;
    }
    if (statement.front() == 'd' && statement.starts_with(kDelete)) {
      ApplyDeletion(*this, statement);
      continue;
    }
    parser.line = statement;
    ReadStatement(parser);
  }
}
