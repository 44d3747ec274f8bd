#include "bridge/ejecutor.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "platform/registro_actividad.h"

EjecutorHilos::EjecutorHilos(std::function<void()> avisar) : avisar_(std::move(avisar)) {}

EjecutorHilos::~EjecutorHilos() {
    {
        const std::lock_guard lock(mReloj_);
        finReloj_ = true;
    }
    mReloj_.AvisarTodos();
    if (reloj_.joinable()) reloj_.join();
    {
        const std::lock_guard lock(m_);
        fin_ = true;
        cola_.clear();
    }
    m_.AvisarTodos();
    for (std::thread& h : hilos_) h.join();
}

void EjecutorHilos::Ejecutar(std::function<void()> trabajo) {
    std::unique_lock lock(m_);
    cola_.push_back(std::move(trabajo));
    if (libres_ < cola_.size() && hilos_.size() < kMaximoHilos) {
        try {
            hilos_.emplace_back(&EjecutorHilos::Trabajar, this);
            ++libres_;
        } catch (const std::system_error&) {
            // No thread now: the work waits for one of the others.
            actividad::AnotarFalloIgnorado("hilo de trabajo");
        }
    }
    lock.unlock();
    m_.AvisarUno();
}

void EjecutorHilos::Trabajar() {
    std::unique_lock lock(m_);
    for (;;) {
        while (!fin_ && cola_.empty()) m_.Esperar();
        if (fin_) return;
        std::function<void()> trabajo = std::move(cola_.front());
        cola_.pop_front();
        --libres_;
        lock.unlock();
        try {
            trabajo();
        } catch (...) {
            actividad::AnotarFalloIgnorado("trabajo del ciclo");
        }
        lock.lock();
        ++libres_;
    }
}

void EjecutorHilos::Repetir(std::int32_t ms, std::function<void()> trabajo) {
    {
        const std::lock_guard lock(mReloj_);
        periodo_ = std::chrono::milliseconds(ms > 0 && trabajo ? ms : 0);
        repetido_ = periodo_.count() > 0 ? std::move(trabajo) : nullptr;
        proximo_ = std::chrono::steady_clock::now() + periodo_;
        if (periodo_.count() > 0 && !reloj_.joinable()) {
            try {
                reloj_ = std::thread(&EjecutorHilos::Reloj, this);
            } catch (const std::system_error&) {
                // No clock: the caller's other safety nets (the watches) are all that is left.
                actividad::AnotarFalloIgnorado("hilo del reloj");
            }
        }
    }
    mReloj_.AvisarTodos();
}

void EjecutorHilos::Reloj() {
    using reloj = std::chrono::steady_clock;
    std::unique_lock lock(mReloj_);
    while (!finReloj_) {
        if (periodo_.count() == 0) {
            mReloj_.Esperar();
            continue;
        }
        const auto ahora = reloj::now();
        if (ahora < proximo_) {
            // Rounded up, so that the wait never ends just before the tick and spins.
            const auto falta = std::chrono::ceil<std::chrono::milliseconds>(proximo_ - ahora);
            mReloj_.EsperarHasta(static_cast<unsigned long>(falta.count()));
            continue;
        }
        proximo_ += periodo_;
        if (proximo_ <= ahora) proximo_ = ahora + periodo_;
        std::function<void()> trabajo = repetido_;
        lock.unlock();
        Ejecutar(std::move(trabajo));
        lock.lock();
    }
}
