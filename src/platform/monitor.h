#pragma once
// A lock with conditions to wait for under it, for the pool that runs the terminals' file calls.
// On Windows these are the system's slim lock and condition variables: a thread woken through them
// costs no call into the system's object manager (under Wine, no request to its server), where the
// threads library's mutex and condition cost a semaphore released and waited for at every hand-over.
//
// It has two conditions, so that threads waiting for different things are woken apart: a thread
// woken for the wrong one costs a wake-up for nothing.

#include <cstddef>

#if !defined(_WIN32)
#include <condition_variable>
#include <mutex>
#endif

namespace plataforma {

class Monitor {
public:
    enum Condicion : std::size_t { kPrimera = 0, kSegunda = 1, kCondiciones = 2 };

    Monitor() = default;
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // For std::lock_guard and std::unique_lock.
    void lock();
    void unlock();
    // The lock held: lets it go until woken, and holds it again before returning. A wake may come
    // without a call below: the waiter looks at what it waits for again.
    void Esperar(Condicion c = kPrimera);
    // As Esperar, for at most `ms` milliseconds: false when the time ran out.
    bool EsperarHasta(unsigned long ms, Condicion c = kPrimera);
    void AvisarUno(Condicion c = kPrimera) noexcept;
    void AvisarTodos(Condicion c = kPrimera) noexcept;

private:
#if defined(_WIN32)
    // A slim lock and a condition variable are each one pointer, empty when unused.
    alignas(void*) unsigned char cerrojo_[sizeof(void*)]{};
    alignas(void*) unsigned char condiciones_[kCondiciones][sizeof(void*)]{};
#else
    std::mutex m_;
    std::condition_variable c_[kCondiciones];
#endif
};

}  // namespace plataforma
