#include "bridge/ejecutor.h"

#include <system_error>
#include <utility>

#include "platform/actividad.h"

namespace {

using plataforma::Monitor;

constexpr Monitor::Condicion kTrabajo = Monitor::kPrimera;
constexpr Monitor::Condicion kTic = Monitor::kSegunda;
// One waits for the next tick, one for the tick after, the first one's stand-in should it hang.
constexpr std::size_t kRelojeros = 2;

}  // namespace

EjecutorHilos::EjecutorHilos(std::function<void()> avisar) : avisar_(std::move(avisar)) {}

EjecutorHilos::~EjecutorHilos() {
    {
        const std::lock_guard lock(m_);
        fin_ = true;
        cola_.clear();
    }
    m_.AvisarTodos(kTrabajo);
    m_.AvisarTodos(kTic);
    // No thread is started once the end is set.
    for (std::thread& h : hilos_) h.join();
}

void EjecutorHilos::Ejecutar(std::function<void()> trabajo) {
    std::unique_lock lock(m_);
    cola_.push_back(std::move(trabajo));
    // The threads waiting for a tick are kept for it.
    if (libres_ - relojeros_ < cola_.size()) NuevoHilo();
    lock.unlock();
    m_.AvisarUno(kTrabajo);
}

void EjecutorHilos::NuevoHilo() {
    if (fin_ || hilos_.size() >= kMaximoHilos) return;
    try {
        hilos_.emplace_back(&EjecutorHilos::Trabajar, this);
        ++libres_;
    } catch (const std::system_error&) {
        // No thread now: the work waits for one of the others.
        actividad::AnotarFalloIgnorado("hilo de trabajo");
    }
}

// A free thread not waiting for a tick comes to wait for one; without one, a new thread does.
void EjecutorHilos::BuscarRelojero() {
    if (libres_ > relojeros_) {
        m_.AvisarUno(kTrabajo);
    } else {
        NuevoHilo();
    }
}

void EjecutorHilos::Trabajar() {
    std::unique_lock lock(m_);
    while (!fin_) {
        // Nobody waits for the next tick (the one who did is running a tick that may hang): this
        // thread does, before any queued work, which gets a thread of its own if it now lacks one.
        const bool sinRelojero = periodo_.count() > 0 && relojeros_ == 0;
        if (!sinRelojero && !cola_.empty()) {
            std::function<void()> trabajo = std::move(cola_.front());
            cola_.pop_front();
            Correr(lock, std::move(trabajo), false);
        } else if (periodo_.count() > 0 && relojeros_ < kRelojeros) {
            if (libres_ - relojeros_ - 1 < cola_.size()) NuevoHilo();
            if (!EsperarTic()) continue;
            Correr(lock, repetido_, true);
        } else {
            m_.Esperar(kTrabajo);
        }
    }
}

void EjecutorHilos::Correr(std::unique_lock<Monitor>& lock, std::function<void()> trabajo, bool esTic) {
    --libres_;
    // Before a tick may hang, somebody waits for the next one.
    if (esTic && relojeros_ == 0) BuscarRelojero();
    lock.unlock();
    try {
        trabajo();
    } catch (...) {
        actividad::AnotarFalloIgnorado("trabajo del ciclo");
    }
    trabajo = nullptr;  // what it holds goes before the lock is taken again
    lock.lock();
    ++libres_;
}

// Waits for the first tick that no other thread waits for (the next one, or the one after). True
// when its moment has come and this thread is to run it; false when the clock changed or the pool
// ends meanwhile, or the other thread, woken late, has run it. The lock is held.
bool EjecutorHilos::EsperarTic() {
    const reloj::time_point mio = proximo_ + periodo_ * static_cast<int>(relojeros_);
    const std::uint64_t generacion = generacion_;
    ++relojeros_;
    reloj::time_point ahora = reloj::now();
    while (!fin_ && generacion == generacion_ && ahora < mio) {
        // Rounded up, so that the wait never ends just before the tick and spins.
        const auto falta = std::chrono::ceil<std::chrono::milliseconds>(mio - ahora);
        m_.EsperarHasta(static_cast<unsigned long>(falta.count()), kTic);
        ahora = reloj::now();
    }
    --relojeros_;
    if (fin_ || generacion != generacion_ || mio < proximo_) return false;
    proximo_ += periodo_;
    if (proximo_ <= ahora) proximo_ = ahora + periodo_;
    return true;
}

void EjecutorHilos::Repetir(std::int32_t ms, std::function<void()> trabajo) {
    {
        const std::lock_guard lock(m_);
        periodo_ = std::chrono::milliseconds(ms > 0 && trabajo ? ms : 0);
        repetido_ = periodo_.count() > 0 ? std::move(trabajo) : nullptr;
        proximo_ = reloj::now() + periodo_;
        ++generacion_;
        // The threads waiting for the old clock wake below and wait again for the new one.
        if (periodo_.count() > 0 && relojeros_ == 0) BuscarRelojero();
    }
    m_.AvisarTodos(kTic);
}
