#include "platform/actividad.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/actividad_sistema.h"
#include "platform/error_sistema.h"

namespace actividad {

namespace {

// After a failed write the writer waits this long before it tries again (or until Terminar).
constexpr std::chrono::seconds kEsperaTrasFallo{5};

struct Evento {
    reloj::FechaHoraMs sello;
    std::string texto;
};

bool MismoDia(const archivos::FechaHora& a, const archivos::FechaHora& b) {
    return a.anio == b.anio && a.mes == b.mes && a.dia == b.dia;
}

std::chrono::sys_days Dias(int anio, int mes, int dia) {
    return std::chrono::sys_days(std::chrono::year(anio) / std::chrono::month(static_cast<unsigned>(mes)) /
                                 std::chrono::day(static_cast<unsigned>(dia)));
}

std::string NombreArchivo(const archivos::FechaHora& f) {
    char nombre[64];
    std::snprintf(nombre, sizeof nombre, "%04d-%02d-%02d.log", f.anio, f.mes, f.dia);
    return nombre;
}

std::string Linea(const reloj::FechaHoraMs& s, std::string_view texto) {
    char sello[128];
    const int largo =
        std::snprintf(sello, sizeof sello, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", s.fecha.anio, s.fecha.mes,
                      s.fecha.dia, s.fecha.hora, s.fecha.minuto, s.fecha.segundo, s.milisegundo);
    std::string linea(sello, static_cast<std::size_t>(largo));
    linea += texto;
    linea += "\r\n";
    return linea;
}

std::string UnaLinea(std::string_view texto) {
    std::string linea;
    linea.reserve(texto.size());
    for (std::size_t i = 0; i < texto.size(); ++i) {
        const char c = texto[i];
        if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') ++i;
        linea += c == '\r' || c == '\n' ? ' ' : c;
    }
    return linea;
}

// The date of a log file's name, "AAAA-MM-DD.log"; false for any other name.
bool FechaDeNombre(const std::string& nombre, std::chrono::sys_days& fecha) {
    if (nombre.size() != 14 || nombre.compare(10, 4, ".log") != 0 || nombre[4] != '-' || nombre[7] != '-') return false;
    int partes[3] = {};
    const std::size_t inicio[3] = {0, 5, 8}, largo[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (std::size_t i = inicio[p]; i < inicio[p] + largo[p]; ++i) {
            if (nombre[i] < '0' || nombre[i] > '9') return false;
            partes[p] = partes[p] * 10 + (nombre[i] - '0');
        }
    const std::chrono::year_month_day ymd{std::chrono::year(partes[0]) /
                                          std::chrono::month(static_cast<unsigned>(partes[1])) /
                                          std::chrono::day(static_cast<unsigned>(partes[2]))};
    if (!ymd.ok()) return false;
    fecha = std::chrono::sys_days(ymd);
    return true;
}

// Deletes the log files dated more than kDiasConservados days before `hoy`. Other files stay.
void Limpiar(const std::string& carpeta, const archivos::FechaHora& hoy) {
    const std::chrono::sys_days limite = Dias(hoy.anio, hoy.mes, hoy.dia) - std::chrono::days(kDiasConservados);
    for (const std::string& nombre : sistema::ArchivosLog(carpeta)) {
        std::chrono::sys_days fecha;
        if (FechaDeNombre(nombre, fecha) && fecha < limite) sistema::Borrar(sistema::Unir(carpeta, nombre));
    }
}

class Escritor {
public:
    void Iniciar(const std::string& carpeta, RelojMs relojMs) {
        const std::lock_guard control(control_);
        Detener();
        if (!relojMs) relojMs = reloj::AhoraConMs;
        const archivos::FechaHora hoy = relojMs().fecha;
        std::thread escritor(&Escritor::Escribir, this, carpeta, hoy);
        const std::lock_guard lock(m_);
        reloj_ = std::move(relojMs);
        escritor_ = std::move(escritor);
        activo_ = true;
    }

    void Terminar() {
        const std::lock_guard control(control_);
        Detener();
    }

    void Anotar(std::string&& texto) {
        const std::lock_guard lock(m_);
        if (!activo_) return;
        const reloj::FechaHoraMs sello = reloj_();
        if (cola_.size() >= kMaximoEnCola) {
            cola_.pop_front();
            ++descartados_;
        }
        cola_.push_back({sello, std::move(texto)});
        cambio_.notify_one();
    }

    bool EscritorOcupado() {
        const std::lock_guard lock(m_);
        return ocupado_;
    }

private:
    // Ends the writer after its last write. Holds control_.
    void Detener() {
        std::thread escritor;
        {
            const std::lock_guard lock(m_);
            activo_ = false;
            terminar_ = true;
            escritor = std::move(escritor_);
        }
        cambio_.notify_all();
        if (escritor.joinable()) escritor.join();
        const std::lock_guard lock(m_);
        terminar_ = false;
        cola_.clear();
        descartados_ = 0;
        reloj_ = nullptr;
    }

    // The writer: takes everything queued, writes it day by day, and on a failure puts it back and
    // waits a while, so a folder that cannot be written costs one try every few seconds.
    void Escribir(const std::string carpeta, archivos::FechaHora hoy) {
        try {
            if (sistema::CrearCarpeta(carpeta)) Limpiar(carpeta, hoy);
        } catch (...) {
        }
        Dia dia{hoy};
        std::unique_lock lock(m_);
        for (;;) {
            cambio_.wait(lock, [this] { return terminar_ || !cola_.empty(); });
            if (cola_.empty()) return;
            const bool ultimo = terminar_;
            std::deque<Evento> lote;
            lote.swap(cola_);
            std::size_t descartados = std::exchange(descartados_, 0);
            ocupado_ = true;
            lock.unlock();
            bool escrito = false;
            try {
                escrito = EscribirLote(carpeta, lote, descartados, dia);
            } catch (...) {
            }
            lock.lock();
            ocupado_ = false;
            if (escrito) continue;
            if (ultimo) return;
            // What was not written goes back before what came meanwhile, within the bound.
            const std::size_t cabe = kMaximoEnCola - std::min(kMaximoEnCola, cola_.size());
            descartados_ += descartados + (lote.size() > cabe ? lote.size() - cabe : 0);
            try {
                for (std::size_t i = 0; i < lote.size() && i < cabe; ++i)
                    cola_.push_front(std::move(lote[lote.size() - 1 - i]));
            } catch (...) {
            }
            cambio_.wait_for(lock, kEsperaTrasFallo, [this] { return terminar_; });
        }
    }

    // The day being written, and how big its file is.
    struct Dia {
        archivos::FechaHora fecha;
        std::int64_t tamanio = -1;  // not looked at yet
        bool lleno = false;         // the cap is reached: the day's other events are not written
    };

    // Appends the events to their days' files. Leaves in `lote` what could not be written, and
    // `descartados` at 0 once the line that counts them is written.
    static bool EscribirLote(const std::string& carpeta, std::deque<Evento>& lote, std::size_t& descartados, Dia& dia) {
        while (!lote.empty()) {
            const archivos::FechaHora fecha = lote.front().sello.fecha;
            if (!MismoDia(fecha, dia.fecha)) {
                dia = Dia{fecha};
                Limpiar(carpeta, fecha);
            }
            const std::string ruta = sistema::Unir(carpeta, NombreArchivo(fecha));
            if (dia.tamanio < 0) dia.tamanio = sistema::Tamanio(ruta);
            std::string datos;
            if (descartados != 0 && !dia.lleno)
                datos = Linea(lote.front().sello, "Registro: se descartaron " + std::to_string(descartados) +
                                                      " eventos anteriores (cola llena)");
            std::size_t n = 0;
            bool llena = false;
            for (; n < lote.size() && MismoDia(lote[n].sello.fecha, fecha); ++n) {
                if (dia.lleno) continue;
                std::string linea = Linea(lote[n].sello, lote[n].texto);
                if (dia.tamanio + static_cast<std::int64_t>(datos.size() + linea.size()) > kTamanioMaximoDia - 200) {
                    datos += Linea(lote[n].sello, "Registro: el archivo de hoy llegó a " +
                                                      std::to_string(kTamanioMaximoDia / (1024 * 1024)) +
                                                      " MB; los eventos de hoy desde aquí no se anotan");
                    llena = true;
                    dia.lleno = true;
                    continue;
                }
                datos += linea;
            }
            if (!datos.empty()) {
                if (!sistema::Anexar(ruta, datos) &&
                    !(sistema::CrearCarpeta(carpeta) && sistema::Anexar(ruta, datos))) {
                    if (llena) dia.lleno = false;
                    return false;
                }
                dia.tamanio += static_cast<std::int64_t>(datos.size());
            }
            descartados = 0;
            lote.erase(lote.begin(), lote.begin() + static_cast<std::ptrdiff_t>(n));
        }
        return true;
    }

    std::mutex control_;  // one Iniciar or Terminar at a time
    std::mutex m_;        // everything below
    std::condition_variable cambio_;
    std::deque<Evento> cola_;
    std::size_t descartados_ = 0;
    bool activo_ = false;
    bool terminar_ = false;
    bool ocupado_ = false;
    RelojMs reloj_;
    std::thread escritor_;
};

// Never destroyed: an event logged while the program's other statics go away finds it still there.
// Terminar() is what ends the writer.
Escritor& Unico() {
    static Escritor& escritor = *new Escritor;
    return escritor;
}

}  // namespace

void Iniciar(const std::string& carpeta, RelojMs relojMs) noexcept {
    try {
        Unico().Iniciar(carpeta, std::move(relojMs));
    } catch (...) {
    }
}

void Terminar() noexcept {
    try {
        Unico().Terminar();
    } catch (...) {
    }
}

namespace {

std::string FalloIgnorado(std::string texto, std::string_view donde) {
    texto.append(donde).append("): ");
    const std::string ruta = plataforma::RutaFalloEnCurso();
    if (!ruta.empty()) texto.append(ruta).append(": ");
    return texto.append(plataforma::TextoFalloEnCurso());
}

}  // namespace

void AnotarFalloIgnorado(std::string_view donde) noexcept {
    try {
        Anotar(FalloIgnorado("Fallo ignorado (", donde));
    } catch (...) {
        // Nothing is left to log it with.
    }
}

void AnotarFalloIgnorado(std::string_view terminal, std::string_view donde) noexcept {
    try {
        Anotar(FalloIgnorado(std::string(terminal) + ": fallo ignorado (", donde));
    } catch (...) {
    }
}

void Anotar(std::string_view texto) noexcept {
    try {
        Unico().Anotar(UnaLinea(texto));
    } catch (...) {
    }
}

bool EscritorOcupado() noexcept {
    try {
        return Unico().EscritorOcupado();
    } catch (...) {
        return false;
    }
}

}  // namespace actividad
