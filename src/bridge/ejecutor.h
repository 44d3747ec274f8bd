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
// The pool also keeps the polling's clock (Repetir): a thread of its own waits for each tick and
// hands the tick's work to the pool like any other piece, so an idle tick wakes no window, and a tick
// whose look hangs holds up only its own thread.
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
    // Hands `trabajo` to the pool every `ms` milliseconds from now, the first time after one period,
    // until called again: with another period and work, the count starts again; with 0, the ticks
    // stop. A tick that comes late is not made up for: the next one is a period after it.
    void Repetir(std::int32_t ms, std::function<void()> trabajo);

    static constexpr std::size_t kMaximoHilos = 64;

private:
    void Trabajar();
    void Reloj();

    std::function<void()> avisar_;
    plataforma::Monitor m_;  // guards what follows; its condition: work in the queue, or the end
    std::deque<std::function<void()>> cola_;
    std::vector<std::thread> hilos_;
    std::size_t libres_ = 0;
    bool fin_ = false;

    // The clock, under a lock of its own: its thread waits there with a time limit, never where the
    // pool's threads wait for work.
    plataforma::Monitor mReloj_;  // guards what follows; its condition: a new period, or the end
    std::function<void()> repetido_;
    std::chrono::milliseconds periodo_{0};
    std::chrono::steady_clock::time_point proximo_;
    bool finReloj_ = false;
    std::thread reloj_;
};
