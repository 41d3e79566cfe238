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

std::string NextToken(TAEOS_Parser& parser) {
  const std::string_view t = parser.line;
  const std::size_t n = t.size();
  std::size_t i = 0;
  for (; i < n; ++i) {
    if (t[i] == '-' && i + 1 < n && t[i + 1] == '>') {
      parser.line.erase(0, i + 2);
      return "->";
    }
    if (t[i] == '=') {
      parser.line.erase(0, i + 1);
      return "=";
    }
    if (!IsTokenSkip(t[i])) {
      break;
    }
  }
  if (i == n) {
    return {};
  }
  std::size_t j = i + 1;
  while (j < n && !IsTokenEnd(t, j)) {
    ++j;
  }
  std::string token(t.substr(i, j - i));
  parser.line.erase(0, j);
  return token;
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

void TAE_Root::ReadStatement(TAEOS_Parser& parser) {
  for (std::string token = NextToken(parser); !token.empty(); token = NextToken(parser)) {
    TAE_Object* object = FindObject(token, true);
    if (object == nullptr) {
      parser.line.clear();
      return;
    }
    object->ReadStatement(parser);
  }
}

void TAE_Object::ReadStatement(TAEOS_Parser& parser) {
  const std::string token = NextToken(parser);
  if (token.empty()) {
    return;
  }
  if (token.front() == '[') {
    TAE_KeyCollection* collection = FindCollection(token, true);
    if (collection == nullptr) {
      parser.line.clear();
      return;
    }
    collection->ReadStatement(parser);
    return;
  }
  const std::string op = NextToken(parser);
  if (op == "=") {
    TAE_KeyValue* value = FindValue(token, true);
    if (value->value != parser.line) {
      value->value = std::move(parser.line);
      parser.line.clear();
      root->FireEvent(false, this, value, nullptr);
    }
  } else if (op == "->") {
    const std::string target(TrimBlanks(parser.line));
    TAE_KeyObject* key = FindKey(token, true);
    if (key->targetName != target) {
      key->SetTarget(target);
    }
  }
  parser.line.clear();
}

void TAE_KeyCollection::ReadStatement(TAEOS_Parser& parser) {
  const std::string token = NextToken(parser);
  if (token.empty()) {
    return;
  }
  TAE_Object* object = token == "*" ? StarObject(true) : FindMember(token, true);
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
