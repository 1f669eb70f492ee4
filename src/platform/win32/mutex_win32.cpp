#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/mutex.h"

namespace wpl {

Mutex::Mutex() : lock_(new SRWLOCK(SRWLOCK_INIT)) {}
Mutex::~Mutex() { delete static_cast<SRWLOCK*>(lock_); }
void Mutex::lock() { AcquireSRWLockExclusive(static_cast<SRWLOCK*>(lock_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(static_cast<SRWLOCK*>(lock_)); }

}  // namespace wpl
