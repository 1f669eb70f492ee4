#include <mutex>

#include "platform/mutex.h"

namespace wpl {

Mutex::Mutex() : lock_(new std::mutex) {}
Mutex::~Mutex() { delete static_cast<std::mutex*>(lock_); }
void Mutex::lock() { static_cast<std::mutex*>(lock_)->lock(); }
void Mutex::unlock() { static_cast<std::mutex*>(lock_)->unlock(); }

}  // namespace wpl
