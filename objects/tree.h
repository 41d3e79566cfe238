// The object tree: named objects with text values, links to other objects and
// collections of member objects, every change reported to the handlers of the
// root. Statements that write and read the tree are in objects/statements.h.
//
// The tree takes no lock: its users serialize access with the process-wide
// event lock. Handlers run inside the change that fired them; the event record
// is shared and rewritten by nested changes, so a handler copies what it needs
// before it changes the tree itself.
//
// Ownership: the root owns its top-level objects, an object its collections,
// values and links, a collection its members and its star object. Plain
// pointers handed out stay valid until the thing is destroyed; an *object
// deleted* event announces the end of an object and of everything below it.
#pragma once

#include "componentclasses/tllist.h"
#include "objects/name_index.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TAE_Root;
class TAE_Object;
class TAE_KeyCollection;
class TAEOS_Parser;

// Deepest nesting of objects in collections. Deeper input is refused, so that
// the recursive walks over the tree stay far from the end of any stack.
inline constexpr int kTreeMaxDepth = 64;

class TAE_ObjectBase {
 public:
  TAE_ObjectBase(TAE_Root* rootOfTree, std::string_view ownName) : root(rootOfTree), name(ownName) {}
  virtual ~TAE_ObjectBase() = default;
  TAE_ObjectBase(const TAE_ObjectBase&) = delete;
  TAE_ObjectBase& operator=(const TAE_ObjectBase&) = delete;

  virtual std::string GetPath() const = 0;
  // Statements that recreate this thing and all below it (objects/statements.cpp).
  virtual std::string WriteStatements(bool publicOnly) const = 0;
  // Reads the rest of a statement from parser.line and applies it here.
  virtual void ReadStatement(TAEOS_Parser& parser) = 0;

  TAE_Root* root;  // none for the root itself
  std::string name;
};

struct TAE_KeyValue {
  std::string name;
  std::string value;
};

// A named link from `owner` to the object called `targetName`.
class TAE_KeyObject {
 public:
  TAE_KeyObject(TAE_Object* ownerObject, std::string_view ownName) : owner(ownerObject), name(ownName) {}
  // Leaves the target's referrers.
  ~TAE_KeyObject();
  TAE_KeyObject(const TAE_KeyObject&) = delete;
  TAE_KeyObject& operator=(const TAE_KeyObject&) = delete;

  // Points the link at the object of that name (created top-level when
  // missing); "" unlinks it.
  void SetTarget(std::string_view targetNameNew);

  TAE_Object* owner;
  TAE_Object* target = nullptr;
  std::string targetName;
  std::string name;
};

struct TAE_Event {
  std::string text;  // scratch for handlers
  bool deleted = false;
  TAE_Object* object = nullptr;
  TAE_KeyValue* value = nullptr;  // at most one of value and key is set
  TAE_KeyObject* key = nullptr;
  // With deleted and key: the link itself stays; only its target is cleared,
  // and a *link set* event follows when it gets a new one.
  bool linkStays = false;
};

using TAE_Callback = void (*)(void* userData, TAE_Event* event);

// Adapts a member function to a handler: AddHandler(&TAE_BoundMethod<C, &C::On>, receiver).
template <typename C, void (C::*Method)(TAE_Event&)>
void TAE_BoundMethod(void* receiver, TAE_Event* event) {
  (static_cast<C*>(receiver)->*Method)(*event);
}

struct TAEObjectHandlerItem {
  TAE_Callback callback = nullptr;
  void* userData = nullptr;
};

struct TAEObjectHandlerList {
  bool enabled = true;
  TLList<TAEObjectHandlerItem> items{true};
  TAE_Event event;
};

struct TAE_Action {
  std::string name;  // only "Update" is used
  std::string text;
};

class TAE_Object : public TAE_ObjectBase {
 public:
  TAE_Object(TAE_KeyCollection* ownerCollection, std::string_view ownName, TAE_Root* rootOfTree);
  // Unlinks every link that points here, then destroys collections (with their
  // members), values and links. Fires nothing and leaves the index alone.
  ~TAE_Object() override;

  TAE_KeyCollection* FindCollection(std::string_view collectionName, bool create);
  TAE_KeyValue* FindValue(std::string_view valueName, bool create);
  TAE_KeyObject* FindKey(std::string_view keyName, bool create);
  // Fires *value changed* only when the text differs.
  void SetValue(std::string_view valueName, std::string_view text);
  std::string GetValue(std::string_view valueName) const;
  // A "[" name removes that collection's members; any other name the value and
  // the link of that name.
  void RemoveMember(std::string_view memberName);
  // Fires the deletion events of everything below and of the object, and takes
  // the object (and its members) out of the index. Links of other objects that
  // point here are then unlinked, each with a *link cleared* event (linkStays).
  // Does not unlist or destroy.
  void Discard();
  // Takes the object out of the list that holds it now; the caller lists it in
  // the new collection.
  void SetOwner(TAE_KeyCollection* collection);
  TLList<TAE_Object>* GetReferrers(bool create);
  // The star object of a collection: a template that holds values and links only.
  bool IsStar() const { return star_; }
  // Objects from the top level down to this one (1 for a top-level object).
  int Depth() const;
  // Levels of members below this object (0 for an object without members).
  int Height() const;

  std::string GetPath() const override;
  std::string WriteStatements(bool publicOnly) const override;
  void ReadStatement(TAEOS_Parser& parser) override;

  // Read these lists freely; change them only through the operations above.
  TAE_KeyCollection* owner;
  TLList<TAE_KeyCollection> collections{true};
  TLList<TAE_KeyValue> values{true};
  TLList<TAE_KeyObject> keys{true};
  TLList<TAE_Object> referrers{false};  // an object once per link that points here
  std::array<std::int32_t, 10> intTags;
  std::array<void*, 10> ptrTags;

 private:
  friend class TAE_KeyCollection;
  void UnlinkReferrers();

  bool star_ = false;
  bool discarded_ = false;
};

class TAE_KeyCollection : public TAE_ObjectBase {
 public:
  TAE_KeyCollection(TAE_Object* owner, std::string_view ownName, TAE_Root* rootOfTree);
  ~TAE_KeyCollection() override;

  // Finds, adopts or creates the member (see objects/tree.cpp). Refuses (none)
  // an object that would end up inside itself or deeper than kTreeMaxDepth.
  TAE_Object* FindMember(std::string_view memberName, bool create);
  // Discards every member in order, then destroys them. The collection stays.
  void Clear();
  // The template object of "*" statements, created with *created* on demand.
  TAE_Object* StarObject(bool create);

  std::string GetPath() const override;
  std::string WriteStatements(bool publicOnly) const override;
  void ReadStatement(TAEOS_Parser& parser) override;

  TLList<TAE_Object> members{true};
  TAE_Object* ownerObject;
  std::unique_ptr<TAE_Object> starObject;
};

class TAE_Root final : public TAE_ObjectBase {
 public:
  TAE_Root();
  // Fires nothing: handlers are switched off first.
  ~TAE_Root() override;

  TAE_Object* FindObject(std::string_view objectName, bool create);
  bool AddHandler(TAE_Callback callback, void* userData);
  // Applies object update statements (objects/statements.cpp).
  void Apply(std::string_view text);
  // Deletes the whole object for an empty member name (and answers true);
  // otherwise removes that member of it.
  bool DeleteMember(std::string_view objectName, std::string_view memberName);
  std::string NewUniqueName(std::string_view prefix);

  std::string GetPath() const override { return {}; }
  std::string WriteStatements(bool publicOnly) const override;
  void ReadStatement(TAEOS_Parser& parser) override;

  void FireEvent(bool deleted, TAE_Object* object, TAE_KeyValue* value, TAE_KeyObject* key,
                 bool linkStays = false);

  TAEObjectHandlerList handlers;
  TLList<TAE_Object> objects{true};
  TAE_HASH index;
  std::int32_t applyDepth = 0;
  TLList<TAE_Action> actions{true};

 private:
  void ApplyNow(std::string_view text);
};
