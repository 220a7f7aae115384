#include "frame/settings.h"

namespace frame {

Settings& GetSettings() {
  static Settings settings;
  return settings;
}

}  // namespace frame
