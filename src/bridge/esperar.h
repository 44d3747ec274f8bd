#pragma once
// The fixed waits of the polling cycle. The cycle takes an Esperador so tests and benchmarks can
// run whole exchanges without real seconds passing; the program uses EsperadorReal.

#include <cstdint>

class Esperador {
public:
    virtual ~Esperador() = default;
    // Returns after `msEspera` milliseconds; at once for 0 or less.
    virtual void Esperar(std::int32_t msEspera) = 0;
};

// Waits on the monotonic clock, so a wait across midnight (or a change of the wall clock) still
// ends on time. It sleeps rather than spinning and lets no window message through: the caller's
// thread does nothing else while it waits.
class EsperadorReal final : public Esperador {
public:
    void Esperar(std::int32_t msEspera) override;
};
