#include <windows.h>

#include "platform/exclusion.h"

namespace plataforma {

static_assert(sizeof(SRWLOCK) == sizeof(void*), "the slim lock is one pointer");

void Exclusion::lock() { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(cerrojo_)); }

void Exclusion::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(cerrojo_)); }

}  // namespace plataforma
