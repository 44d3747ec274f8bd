#include <windows.h>

#include "platform/monitor.h"

namespace plataforma {

namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "the slim lock and the condition variable are one pointer each");

}  // namespace

void Monitor::lock() { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(cerrojo_)); }

void Monitor::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(cerrojo_)); }

void Monitor::Esperar(Condicion c) {
    // Without a time limit it only returns once woken, the lock held again.
    SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(condiciones_[c]),
                              reinterpret_cast<PSRWLOCK>(cerrojo_), INFINITE, 0);
}

bool Monitor::EsperarHasta(unsigned long ms, Condicion c) {
    return SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(condiciones_[c]),
                                     reinterpret_cast<PSRWLOCK>(cerrojo_), ms, 0) != FALSE;
}

void Monitor::AvisarUno(Condicion c) noexcept {
    WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(condiciones_[c]));
}

void Monitor::AvisarTodos(Condicion c) noexcept {
    WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(condiciones_[c]));
}

}  // namespace plataforma
