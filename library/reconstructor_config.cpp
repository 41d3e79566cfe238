#include "library/reconstructor_config.h"

namespace dam {

reconstructor_config& configuration() {
  static reconstructor_config values;
  return values;
}

}  // namespace dam
