#include "frontend/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool reserveClosedStandardDescriptors() {
  // In ascending order, so that open() returns the lowest free number:
  // the one being replaced.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int got = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (got != fd) {
      if (got >= 0) close(got);
      return false;
    }
  }
  return true;
}
