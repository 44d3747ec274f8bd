#pragma once
// A lock with a condition to wait for under it, for the pool that runs the terminals' file calls.
// On Windows these are the system's slim lock and condition variable: a thread woken through them
// costs no call into the system's object manager (under Wine, no request to its server), where the
// threads library's mutex and condition cost a semaphore released and waited for at every hand-over.

#if !defined(_WIN32)
#include <condition_variable>
#include <mutex>
#endif

namespace plataforma {

class Monitor {
public:
    Monitor() = default;
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // For std::lock_guard and std::unique_lock.
    void lock();
    void unlock();
    // The lock held: lets it go until woken, and holds it again before returning. A wake may come
    // without a call below: the waiter looks at what it waits for again.
    void Esperar();
    // As Esperar, for at most `ms` milliseconds: false when the time ran out.
    bool EsperarHasta(unsigned long ms);
    void AvisarUno() noexcept;
    void AvisarTodos() noexcept;

private:
#if defined(_WIN32)
    // A slim lock and a condition variable are each one pointer, empty when unused.
    alignas(void*) unsigned char cerrojo_[sizeof(void*)]{};
    alignas(void*) unsigned char condicion_[sizeof(void*)]{};
#else
    std::mutex m_;
    std::condition_variable c_;
#endif
};

}  // namespace plataforma
