#pragma once
// A plain lock for what the pool's threads share and take at every look at every terminal (the
// board, the records in memory, the sets of terminals being looked at). On Windows it is the
// system's slim lock: one pointer, no allocation, a free lock taken with one atomic step. The threads
// library behind std::mutex there keeps each mutex in an allocation of its own, reached through a
// pointer and a few checks at every call.

#if !defined(_WIN32)
#include <mutex>
#endif

namespace plataforma {

class Exclusion {
public:
    Exclusion() = default;
    Exclusion(const Exclusion&) = delete;
    Exclusion& operator=(const Exclusion&) = delete;

    // For std::lock_guard and std::unique_lock.
    void lock();
    void unlock();

private:
#if defined(_WIN32)
    alignas(void*) unsigned char cerrojo_[sizeof(void*)]{};
#else
    std::mutex m_;
#endif
};

}  // namespace plataforma
