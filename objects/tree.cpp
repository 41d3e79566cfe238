#include "objects/tree.h"

#include "componentclasses/tllist.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr char kBase36[] = "0123456789abcdefghijklmnopqrstuvwxyz";

template <typename T>
T* FindByName(const TLList<T>& list, std::string_view name) {
  for (T* item : list) {
    if (item->name == name) {
      return item;
    }
  }
  return nullptr;
}

}  // namespace

// ---- links ----

TAE_KeyObject::~TAE_KeyObject() {
  if (target != nullptr) {
    target->referrers.Remove(owner, false);
  }
}

void TAE_KeyObject::SetTarget(std::string_view targetNameNew) {
  if (targetNameNew == targetName) {
    return;
  }
  targetName = targetNameNew;
  TAE_Root* root = owner->root;
  if (target != nullptr) {
    root->FireEvent(true, owner, nullptr, this, true);
    target->referrers.Remove(owner, false);
  }
  target = nullptr;
  if (!targetName.empty()) {
    // A copy: a handler of the created event could change targetName.
    const std::string wanted = targetName;
    target = root->FindObject(wanted, true);
    if (target != nullptr) {
      target->referrers.Append(owner);
    }
    root->FireEvent(false, owner, nullptr, this);
  }
}

// ---- objects ----

TAE_Object::TAE_Object(TAE_KeyCollection* ownerCollection, std::string_view ownName, TAE_Root* rootOfTree)
    : TAE_ObjectBase(rootOfTree, ownName), owner(ownerCollection) {
  intTags.fill(-1);
  ptrTags.fill(nullptr);
}

TAE_Object::~TAE_Object() {
  // Links elsewhere that point here lose their target, so none dangles. (Discard
  // has done this with events already, except for star objects and at the end
  // of the whole tree, where nobody listens.)
  for (TAE_Object* referrer : referrers) {
    for (TAE_KeyObject* key : referrer->keys) {
      if (key->target == this) {
        key->target = nullptr;
        key->targetName.clear();
      }
    }
  }
  referrers.Clear();
  collections.Clear();
  keys.Clear();
  values.Clear();
}

TAE_KeyCollection* TAE_Object::FindCollection(std::string_view collectionName, bool create) {
  if (TAE_KeyCollection* found = FindByName(collections, collectionName)) {
    return found;
  }
  if (!create || star_) {
    return nullptr;
  }
  return collections.Append(std::make_unique<TAE_KeyCollection>(this, collectionName, root));
}

TAE_KeyValue* TAE_Object::FindValue(std::string_view valueName, bool create) {
  if (TAE_KeyValue* found = FindByName(values, valueName)) {
    return found;
  }
  if (!create) {
    return nullptr;
  }
  return values.Append(std::make_unique<TAE_KeyValue>(TAE_KeyValue{std::string(valueName), {}}));
}

TAE_KeyObject* TAE_Object::FindKey(std::string_view keyName, bool create) {
  if (TAE_KeyObject* found = FindByName(keys, keyName)) {
    return found;
  }
  if (!create) {
    return nullptr;
  }
  return keys.Append(std::make_unique<TAE_KeyObject>(this, keyName));
}

void TAE_Object::SetValue(std::string_view valueName, std::string_view text) {
  TAE_KeyValue* value = FindValue(valueName, true);
  if (value->value != text) {
    value->value = text;
    root->FireEvent(false, this, value, nullptr);
  }
}

std::string TAE_Object::GetValue(std::string_view valueName) const {
  const TAE_KeyValue* value = FindByName(values, valueName);
  return value != nullptr ? value->value : std::string();
}

void TAE_Object::RemoveMember(std::string_view memberName) {
  if (!memberName.empty() && memberName.front() == '[') {
    if (TAE_KeyCollection* collection = FindCollection(memberName, false)) {
      // The collection object itself stays (empty): a user may hold it, and no
      // statement could tell the other side that it went.
      collection->Clear();
      collection->starObject.reset();
    }
    return;
  }
  if (TAE_KeyValue* value = FindValue(memberName, false)) {
    root->FireEvent(true, this, value, nullptr);
    values.Remove(value, true);
  }
  if (TAE_KeyObject* key = FindKey(memberName, false)) {
    root->FireEvent(true, this, nullptr, key);
    keys.Remove(key, true);
  }
}

void TAE_Object::Discard() {
  discarded_ = true;
  for (TAE_KeyCollection* collection : collections) {
    collection->Clear();
  }
  for (TAE_KeyValue* value : values) {
    root->FireEvent(true, this, value, nullptr);
  }
  for (TAE_KeyObject* key : keys) {
    root->FireEvent(true, this, nullptr, key);
  }
  root->FireEvent(true, this, nullptr, nullptr);
  root->index.Remove(this);
  UnlinkReferrers();
}

void TAE_Object::UnlinkReferrers() {
  // Cleared first and reported after, so that no handler sees a half-done list.
  std::vector<std::pair<TAE_Object*, TAE_KeyObject*>> cleared;
  for (TAE_Object* referrer : referrers) {
    for (TAE_KeyObject* key : referrer->keys) {
      if (key->target == this) {
        key->target = nullptr;
        key->targetName.clear();
        // Objects that go down with this one say nothing more about their links.
        if (!referrer->discarded_) {
          cleared.emplace_back(referrer, key);
        }
      }
    }
  }
  referrers.Clear();
  for (const auto& [referrer, key] : cleared) {
    root->FireEvent(true, referrer, nullptr, key, true);
  }
}

void TAE_Object::SetOwner(TAE_KeyCollection* collection) {
  if (collection == owner) {
    return;
  }
  // The object leaves the list that holds it, so no two lists claim it.
  if (owner == nullptr) {
    root->objects.Remove(this, false);
  } else {
    owner->members.Remove(this, false);
  }
  owner = collection;
}

TLList<TAE_Object>* TAE_Object::GetReferrers(bool create) {
  return (create || !referrers.Empty()) ? &referrers : nullptr;
}

int TAE_Object::Depth() const {
  int depth = 1;
  for (const TAE_KeyCollection* c = owner; c != nullptr && c->ownerObject != nullptr; c = c->ownerObject->owner) {
    ++depth;
  }
  return depth;
}

int TAE_Object::Height() const {
  int height = 0;
  for (const TAE_KeyCollection* collection : collections) {
    for (const TAE_Object* member : collection->members) {
      height = std::max(height, 1 + member->Height());
    }
  }
  return height;
}

std::string TAE_Object::GetPath() const {
  if (owner == nullptr) {
    return name;
  }
  return owner->GetPath() + "." + name;
}

// ---- collections ----

TAE_KeyCollection::TAE_KeyCollection(TAE_Object* owner, std::string_view ownName, TAE_Root* rootOfTree)
    : TAE_ObjectBase(rootOfTree, ownName), ownerObject(owner) {}

TAE_KeyCollection::~TAE_KeyCollection() = default;

TAE_Object* TAE_KeyCollection::FindMember(std::string_view memberName, bool create) {
  // Every member is indexed under its unique name, so the index answers what a
  // scan of a long member list would.
  TAE_Object* object = root->index.Find(memberName);
  if (object != nullptr && object->owner == this) {
    return object;
  }
  if (!create || memberName.empty()) {
    return nullptr;
  }
  const int depth = ownerObject != nullptr ? ownerObject->Depth() + 1 : 1;
  if (object != nullptr) {
    // Adopting an object into its own subtree would make a loop that nothing owns.
    for (const TAE_Object* up = ownerObject; up != nullptr;
         up = up->owner != nullptr ? up->owner->ownerObject : nullptr) {
      if (up == object) {
        return nullptr;
      }
    }
    if (depth + object->Height() > kTreeMaxDepth) {
      return nullptr;
    }
    object->SetOwner(this);
  } else {
    if (depth > kTreeMaxDepth) {
      return nullptr;
    }
    object = new TAE_Object(this, memberName, root);
    root->index.Insert(object);
  }
  members.Append(object);
  root->FireEvent(false, object, nullptr, nullptr);
  return object;
}

void TAE_KeyCollection::Clear() {
  for (TAE_Object* member : members) {
    member->Discard();
  }
  members.Clear();
}

TAE_Object* TAE_KeyCollection::StarObject(bool create) {
  if (starObject == nullptr && create) {
    starObject = std::make_unique<TAE_Object>(this, "star" + name, root);
    starObject->star_ = true;
    root->FireEvent(false, starObject.get(), nullptr, nullptr);
  }
  return starObject.get();
}

std::string TAE_KeyCollection::GetPath() const {
  return (ownerObject != nullptr ? ownerObject->GetPath() : std::string()) + "." + name;
}

// ---- root ----

TAE_Root::TAE_Root() : TAE_ObjectBase(nullptr, "root") {}

TAE_Root::~TAE_Root() {
  handlers.enabled = false;
  handlers.items.Clear();
  objects.Clear();
  actions.Clear();
}

TAE_Object* TAE_Root::FindObject(std::string_view objectName, bool create) {
  if (TAE_Object* found = index.Find(objectName)) {
    return found;
  }
  if (!create || objectName.empty()) {
    return nullptr;
  }
  TAE_Object* object = objects.Append(std::make_unique<TAE_Object>(nullptr, objectName, this));
  index.Insert(object);
  FireEvent(false, object, nullptr, nullptr);
  return object;
}

bool TAE_Root::AddHandler(TAE_Callback callback, void* userData) {
  for (const TAEObjectHandlerItem* item : handlers.items) {
    if (item->callback == callback && item->userData == userData) {
      return false;
    }
  }
  handlers.items.Append(std::make_unique<TAEObjectHandlerItem>(TAEObjectHandlerItem{callback, userData}));
  return true;
}

bool TAE_Root::DeleteMember(std::string_view objectName, std::string_view memberName) {
  TAE_Object* object = FindObject(objectName, false);
  if (object == nullptr) {
    return false;
  }
  if (!memberName.empty()) {
    object->RemoveMember(memberName);
    return false;
  }
  object->Discard();
  if (object->owner != nullptr) {
    object->owner->members.Remove(object, true);
  } else {
    objects.Remove(object, true);
  }
  return true;
}

std::string TAE_Root::NewUniqueName(std::string_view prefix) {
  std::uint64_t n = index.NextRandom() % 1000000000u + index.count;
  std::string digits;
  do {
    digits.insert(digits.begin(), kBase36[n % 36]);
    n /= 36;
  } while (n != 0);
  return std::string(prefix) + digits;
}

void TAE_Root::FireEvent(bool deleted, TAE_Object* object, TAE_KeyValue* value, TAE_KeyObject* key,
                         bool linkStays) {
  TAE_Event& event = handlers.event;
  event.deleted = deleted;
  event.object = object;
  event.value = value;
  event.key = key;
  event.linkStays = linkStays;
  if (!handlers.enabled) {
    return;
  }
  for (const TAEObjectHandlerItem* item : handlers.items) {
    // Set again for every handler: a nested change in an earlier one rewrote it.
    event.deleted = deleted;
    event.object = object;
    event.value = value;
    event.key = key;
    event.linkStays = linkStays;
    item->callback(item->userData, &event);
  }
}
