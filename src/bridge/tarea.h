#pragma once
// A step-by-step routine: a coroutine that a terminal's exchange is written as, so that its fixed
// waits suspend that terminal alone while the others, and the window, go on. A Tarea starts when it
// is first resumed or awaited; awaiting one runs it to its end and gives its result or rethrows its
// failure. The object owns its frame: throwing away the outermost Tarea throws away every routine
// suspended inside it, as a stopped process would.
//
// Await a Tarea as a statement or into a variable, never inside a condition: GCC 12 compiles
// `if (!co_await f())` into a trap.

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>

template <typename T = void>
class Tarea;

namespace detalle_tarea {

struct PromesaBase {
    std::coroutine_handle<> continuacion;  // the routine awaiting this one; none for the outermost
    std::exception_ptr error;

    std::suspend_always initial_suspend() noexcept { return {}; }
    auto final_suspend() noexcept {
        struct Final {
            bool await_ready() noexcept { return false; }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<>) noexcept { return siguiente; }
            void await_resume() noexcept {}
            std::coroutine_handle<> siguiente;
        };
        return Final{continuacion ? continuacion : std::noop_coroutine()};
    }
    void unhandled_exception() noexcept { error = std::current_exception(); }
};

template <typename T>
struct Promesa : PromesaBase {
    std::optional<T> valor;
    Tarea<T> get_return_object() noexcept;
    void return_value(T v) { valor = std::move(v); }
    T Resultado() {
        if (error) std::rethrow_exception(error);
        return std::move(*valor);
    }
};

template <>
struct Promesa<void> : PromesaBase {
    Tarea<void> get_return_object() noexcept;
    void return_void() noexcept {}
    void Resultado() {
        if (error) std::rethrow_exception(error);
    }
};

}  // namespace detalle_tarea

template <typename T>
class [[nodiscard]] Tarea {
public:
    using promise_type = detalle_tarea::Promesa<T>;
    using Manejo = std::coroutine_handle<promise_type>;

    Tarea() noexcept = default;
    explicit Tarea(Manejo h) noexcept : h_(h) {}
    Tarea(Tarea&& o) noexcept : h_(std::exchange(o.h_, {})) {}
    Tarea& operator=(Tarea&& o) noexcept {
        if (this != &o) {
            if (h_) h_.destroy();
            h_ = std::exchange(o.h_, {});
        }
        return *this;
    }
    ~Tarea() {
        if (h_) h_.destroy();
    }
    Tarea(const Tarea&) = delete;
    Tarea& operator=(const Tarea&) = delete;

    // The outermost routine, for one that runs it somewhere else.
    std::coroutine_handle<> Rutina() const noexcept { return h_; }
    bool Terminada() const noexcept { return !h_ || h_.done(); }

    // Awaited from another routine: runs this one, then goes on with the caller.
    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> llamador) noexcept {
        h_.promise().continuacion = llamador;
        return h_;
    }
    T await_resume() { return h_.promise().Resultado(); }

private:
    Manejo h_;
};

namespace detalle_tarea {

template <typename T>
Tarea<T> Promesa<T>::get_return_object() noexcept {
    return Tarea<T>(std::coroutine_handle<Promesa<T>>::from_promise(*this));
}

inline Tarea<void> Promesa<void>::get_return_object() noexcept {
    return Tarea<void>(std::coroutine_handle<Promesa<void>>::from_promise(*this));
}

}  // namespace detalle_tarea
