#include "platform/monitor.h"

#include <chrono>

namespace plataforma {

void Monitor::lock() { m_.lock(); }

void Monitor::unlock() { m_.unlock(); }

void Monitor::Esperar(Condicion c) {
    // The caller holds the lock and keeps holding it afterwards.
    std::unique_lock lock(m_, std::adopt_lock);
    c_[c].wait(lock);
    lock.release();
}

bool Monitor::EsperarHasta(unsigned long ms, Condicion c) {
    std::unique_lock lock(m_, std::adopt_lock);
    const bool avisado = c_[c].wait_for(lock, std::chrono::milliseconds(ms)) == std::cv_status::no_timeout;
    lock.release();
    return avisado;
}

void Monitor::AvisarUno(Condicion c) noexcept { c_[c].notify_one(); }

void Monitor::AvisarTodos(Condicion c) noexcept { c_[c].notify_all(); }

}  // namespace plataforma
