#include "platform/monitor.h"

#include <chrono>

namespace plataforma {

void Monitor::lock() { m_.lock(); }

void Monitor::unlock() { m_.unlock(); }

void Monitor::Esperar() {
    // The caller holds the lock and keeps holding it afterwards.
    std::unique_lock lock(m_, std::adopt_lock);
    c_.wait(lock);
    lock.release();
}

bool Monitor::EsperarHasta(unsigned long ms) {
    std::unique_lock lock(m_, std::adopt_lock);
    const bool avisado = c_.wait_for(lock, std::chrono::milliseconds(ms)) == std::cv_status::no_timeout;
    lock.release();
    return avisado;
}

void Monitor::AvisarUno() noexcept { c_.notify_one(); }

void Monitor::AvisarTodos() noexcept { c_.notify_all(); }

}  // namespace plataforma
