// Statements from the server are untrusted: Apply must take any text without
// crashing, overrunning or looping. Also drives the event statements into a
// mirror tree, nested Apply from a handler, and the whole-tree writer.
#include "objects/statements.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

struct Listener {
  TAE_Root* tree;
  TAE_Root* mirror;
  void On(TAE_Event& e) {
    const std::string statement = DescribeEvent(e, true);
    mirror->Apply(statement);
    // A handler that applies a text of its own while Apply runs: it is queued
    // and applied again afterwards. The value settles, so this ends.
    if (e.value != nullptr && e.value->name == "go" && !e.deleted) {
      tree->Apply("(fuzz.seen=1;\r\ndelete (fuzz.gone");
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TAE_Root tree, mirror;
  Listener listener{&tree, &mirror};
  tree.AddHandler(&TAE_BoundMethod<Listener, &Listener::On>, &listener);
  tree.Apply(text);

  TAE_Root copy;
  copy.Apply(tree.WriteStatements(false));
  (void)copy.WriteStatements(true);
  (void)mirror.WriteStatements(true);
  if (TAE_Object* first = tree.objects.First()) {
    (void)first->GetPath();
    tree.DeleteMember(first->name, "");
  }
  return 0;
}
