#pragma once
// The clock of the exchange's fixed waits. A terminal's routine that must give the client time
// is suspended until this monotonic clock has passed the end of its wait, never earlier; the cycle
// resumes it then. The program uses the system's steady clock; tests and benchmarks move a virtual
// one, so whole exchanges run without real seconds passing.

#include <chrono>
#include <cstdint>

class Esperador {
public:
    virtual ~Esperador() = default;
    // Milliseconds on a clock that only moves forward (not the wall clock: a wait across midnight
    // or a change of the time of day still ends on time).
    virtual std::int64_t AhoraMs() = 0;
    // Told of each wait as it begins; tests record them.
    virtual void EsperaIniciada(std::int32_t /*msEspera*/) {}
    // Whether the steps that the cycle runs in one go have had their time (`limite`, on the steady
    // clock): the rest go on at its next call. Tests decide it themselves, so that a run does not
    // depend on the speed of the machine.
    virtual bool PasosAgotados(std::chrono::steady_clock::time_point limite) {
        return std::chrono::steady_clock::now() >= limite;
    }
};

class EsperadorReal final : public Esperador {
public:
    std::int64_t AhoraMs() override;
};
