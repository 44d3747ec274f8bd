#include "bridge/ejecutor.h"

#include <utility>

#include "platform/registro_actividad.h"

EjecutorHilos::EjecutorHilos(std::function<void()> avisar) : avisar_(std::move(avisar)) {}

EjecutorHilos::~EjecutorHilos() {
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
