// poll() on one descriptor until its events or a deadline.
#pragma once
#include <poll.h>

#include <cerrno>

#include "platform/deadline.h"

namespace wpl::posix {

// EINTR restarts the poll with the time that is left. Returns the revents
// (0 when the deadline passed first), or -1 on error.
inline int PollUntil(int fd, short events, const Deadline& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, deadline.WaitMillis());
    if (r > 0) return p.revents;
    if (r == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

}  // namespace wpl::posix
