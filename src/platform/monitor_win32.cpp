#include <windows.h>

#include "platform/monitor.h"

namespace plataforma {

namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "the slim lock and the condition variable are one pointer each");

}  // namespace

void Monitor::lock() { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(cerrojo_)); }

void Monitor::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(cerrojo_)); }

void Monitor::Esperar() {
    // Without a time limit it only returns once woken, the lock held again.
    SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(condicion_), reinterpret_cast<PSRWLOCK>(cerrojo_),
                              INFINITE, 0);
}

bool Monitor::EsperarHasta(unsigned long ms) {
    return SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(condicion_),
                                     reinterpret_cast<PSRWLOCK>(cerrojo_), ms, 0) != FALSE;
}

void Monitor::AvisarUno() noexcept { WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(condicion_)); }

void Monitor::AvisarTodos() noexcept { WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(condicion_)); }

}  // namespace plataforma
