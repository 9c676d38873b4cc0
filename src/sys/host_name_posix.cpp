#include "sys/host_name.h"

#include <unistd.h>

namespace sys {

std::string computerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  std::string text = name;
  return text.substr(0, text.find('.'));
}

}  // namespace sys
