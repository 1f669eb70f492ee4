// One monotonic deadline for every wait of the POSIX platform: the serial
// reads and writes and the socket connects and receives. poll() takes its
// limit as int milliseconds from now; the deadline hands it what is left,
// rounded up (a wait never ends short of the deadline) and clamped, so a
// limit is never turned into a wrong number however long the machine has run.
#pragma once
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace wpl::posix {

using SteadyClock = std::chrono::steady_clock;

class Deadline {
 public:
  explicit Deadline(SteadyClock::duration in) : at_(SteadyClock::now() + in) {}
  // What is left, in whole milliseconds rounded up, 0 once passed.
  int PollMillis() const {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(at_ - SteadyClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
  }
  bool Passed() const { return SteadyClock::now() >= at_; }

 private:
  SteadyClock::time_point at_;
};

// poll() on one descriptor until `events` or the deadline; EINTR restarts it
// with the time that is left. Returns the revents (0 when the deadline
// passed first), or -1 on error.
inline int PollUntil(int fd, short events, const Deadline& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, deadline.PollMillis());
    if (r > 0) return p.revents;
    if (r == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

}  // namespace wpl::posix
