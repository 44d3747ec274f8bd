#pragma once
// Where a terminal's file calls run. The polling cycle hands each piece of work that touches the
// terminals' folders (the look at every terminal, one step of a turn) to an executor and never waits
// for it: a share that stops answering holds only the thread its call runs on, never the window.
// Tests and the console run the work at once, on the caller's thread; the program on a small pool.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/monitor.h"

class Ejecutor {
public:
    virtual ~Ejecutor() = default;
    // Runs `trabajo`, now on this thread or later on another.
    virtual void Ejecutar(std::function<void()> trabajo) = 0;
    // True when work runs on the caller's thread, before Ejecutar returns.
    virtual bool EnLinea() const noexcept { return false; }
    // From inside a piece of work: what it has done so far is worth looking at now.
    virtual void Avisar() {}
    // Runs `trabajo` every `ms` milliseconds, until called again (0: never). An executor without a
    // clock of its own does nothing: whoever drives it makes the ticks.
    virtual void Repetir(std::int32_t /*ms*/, std::function<void()> /*trabajo*/) {}
};

class EjecutorEnLinea final : public Ejecutor {
public:
    void Ejecutar(std::function<void()> trabajo) override { trabajo(); }
    bool EnLinea() const noexcept override { return true; }
};

// A pool that grows while all its threads are busy, up to kMaximoHilos: a call that hangs keeps its
// thread, and the next piece of work gets another. A piece that has something for the window calls
// Avisar, which calls `avisar` on the pool's thread (the program posts a message to its window with
// it): a look that found nothing wakes nobody. The destructor waits for the work in progress, and
// drops what has not begun.
//
// The pool also keeps the polling's clock (Repetir), with no thread of its own: two of its free
// threads wait for the next two ticks, each until its own moment, and the one whose moment comes runs
// the tick's work itself. So an idle tick wakes one thread and nothing else, and a tick whose look
// hangs holds up only its own thread: the other one is already waiting for the tick after. A thread
// about to run a tick with nobody waiting for the next one finds somebody first (a free thread, or a
// new one).
class EjecutorHilos final : public Ejecutor {
public:
    explicit EjecutorHilos(std::function<void()> avisar);
    ~EjecutorHilos() override;
    EjecutorHilos(const EjecutorHilos&) = delete;
    EjecutorHilos& operator=(const EjecutorHilos&) = delete;

    void Ejecutar(std::function<void()> trabajo) override;
    void Avisar() override {
        if (avisar_) avisar_();
    }
    // Runs `trabajo` on the pool every `ms` milliseconds from now, the first time after one period,
    // until called again: with another period and work, the count starts again; with 0, the ticks
    // stop (a tick in progress ends on its own). A tick that comes late is not made up for: the next
    // one is a period after it.
    void Repetir(std::int32_t ms, std::function<void()> trabajo) override;

    static constexpr std::size_t kMaximoHilos = 64;

private:
    using reloj = std::chrono::steady_clock;

    void Trabajar();
    bool EsperarTic();
    void Correr(std::unique_lock<plataforma::Monitor>& lock, std::function<void()> trabajo, bool esTic);
    void BuscarRelojero();
    void NuevoHilo();

    std::function<void()> avisar_;
    // Guards what follows. Its first condition: work in the queue, a thread wanted for the clock, or
    // the end; its second, for the threads waiting for a tick: the clock changed, or the end.
    plataforma::Monitor m_;
    std::deque<std::function<void()>> cola_;
    std::vector<std::thread> hilos_;
    std::size_t libres_ = 0;     // threads running nothing, those waiting for a tick included
    std::size_t relojeros_ = 0;  // threads waiting for a tick
    bool fin_ = false;

    std::function<void()> repetido_;
    std::chrono::milliseconds periodo_{0};
    reloj::time_point proximo_;     // the next tick that nobody has run yet
    std::uint64_t generacion_ = 0;  // one more at every Repetir: a wait for the old clock is void
};
