// A lock for the little state that calls on several threads share (the wire
// trace files). The platform gives it: the win32 thread model of the MinGW
// runtime the DLL is built with has no std::mutex.
#pragma once

namespace wpl {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();

 private:
  void* lock_;
};

}  // namespace wpl
