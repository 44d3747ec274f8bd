#include "bridge/ciclo_sondeo.h"

#include <cstring>
#include <iterator>
#include <utility>

#include "bridge/archivos_intercambio.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/texto_ansi.h"

using namespace intercambio;

namespace {

// What an idle look found: its letter, and the changes to the board and the records so far.
std::uint64_t ClaveReposo(char letra, std::uint64_t cambios) {
    return (cambios << 9) | 0x100u | static_cast<unsigned char>(letra);
}

// The part of `ruta` below `raiz` split at its separators; none when `ruta` is not below it.
std::optional<std::vector<std::string>> Debajo(const std::string& ruta, const std::string& raiz) {
    if (raiz.empty() || ruta.size() <= raiz.size() ||
        !IgualesSinMayusculas(std::string_view(ruta).substr(0, raiz.size()), raiz))
        return std::nullopt;
    std::size_t i = raiz.size();
    const bool conBarra = raiz.back() == '\\' || raiz.back() == '/';
    if (!conBarra && ruta[i] != '\\' && ruta[i] != '/') return std::nullopt;
    std::vector<std::string> partes;
    std::string parte;
    for (; i < ruta.size(); ++i) {
        if (ruta[i] == '\\' || ruta[i] == '/') {
            if (!parte.empty()) partes.push_back(std::move(parte));
            parte.clear();
        } else {
            parte += ruta[i];
        }
    }
    if (!parte.empty()) partes.push_back(std::move(parte));
    return partes;
}

}  // namespace

void CicloSondeo::Recorrer(ListaTerminales lista, const std::string& directorioKorvane,
                           const std::string& directorioZelno) {
    Conocer(lista, directorioKorvane, directorioZelno);
    ejecutor_.Ejecutar([this, lista = std::move(lista), directorioKorvane, directorioZelno] {
        Mirar(lista, directorioKorvane, directorioZelno);
    });
}

void CicloSondeo::TicDelPool() {
    ListaTerminales lista;
    std::string korvane, zelno;
    {
        const std::lock_guard lock(m_);
        lista = vistos_;
        korvane = vistosKorvane_;
        zelno = vistosZelno_;
    }
    Mirar(lista, korvane, zelno);
    if (recargar_) ejecutor_.Avisar();
}

void CicloSondeo::Mirar(const ListaTerminales& lista, const std::string& directorioKorvane,
                        const std::string& directorioZelno) {
    // A folder that came back is served again from this tick; a root that came back may hold
    // terminals that the last load could not see. One look at a time: it may hang as well.
    if (!cx_.cortes.Vacio() && !revisando_.exchange(true)) {
        for (const std::string& carpeta : cx_.cortes.Revisar())
            if (carpeta == directorioKorvane || carpeta == directorioZelno) recargar_ = true;
        revisando_ = false;
    }
    if (!lista) return;
    const std::shared_ptr<const CacheMiradas> cache = CacheDe(lista, directorioKorvane);
    // Without a cache, one path of each kind and one entry of mirando_ for the whole look, used again
    // from terminal to terminal: an idle terminal costs its file calls, not allocations.
    std::string unida, unidoStatus, unidaClave;
    decltype(mirando_)::node_type entrada;
    for (std::size_t i = 0; i < lista->size(); ++i) {
        const clsItemTerXX& item = (*lista)[i];
        if (!cache) {
            archivos::UnirEn(unida, directorioKorvane, item.TerXX);
            unidoStatus.assign(unida).append(1, '\\').append(kStatus);
            ClaveRutaEn(unidaClave, unida);
        }
        const std::string& ruta = cache ? cache->rutas[i] : unida;
        // Its folder however the root is spelt: one look and one turn at a time for it.
        const std::string& clave = cache ? cache->claves[i] : unidaClave;
        {
            const std::lock_guard lock(m_);
            // A terminal with a turn is left to it; one whose last look hangs is left to that look.
            if (!conTurno_.empty() && conTurno_.count(clave) != 0) continue;
            if (entrada.empty()) {
                if (!mirando_.insert(clave).second) continue;
            } else {
                entrada.value() = clave;
                auto puesta = mirando_.insert(std::move(entrada));
                if (!puesta.inserted) {
                    entrada = std::move(puesta.node);
                    continue;
                }
            }
        }
        std::optional<Hallazgo> hallado;
        try {
            hallado = cache ? MirarTerminal(item, ruta, cache->status[i], &cache->reposo[i], directorioKorvane,
                                            directorioZelno)
                            : MirarTerminal(item, ruta, unidoStatus, nullptr, directorioKorvane, directorioZelno);
        } catch (...) {
            actividad::AnotarFalloIgnorado(item.TerXX, "búsqueda");
        }
        {
            const std::lock_guard lock(m_);
            entrada = mirando_.extract(clave);
            if (!hallado) continue;
            conTurno_.insert(clave);
            hallados_.push_back(std::move(*hallado));
        }
        // Its turn need not wait for the rest of the look.
        ejecutor_.Avisar();
    }
}

std::shared_ptr<const CicloSondeo::CacheMiradas> CicloSondeo::CacheDe(const ListaTerminales& lista,
                                                                      const std::string& directorioKorvane) {
    {
        const std::lock_guard lock(m_);
        if (cache_ && cache_->lista == lista && cache_->directorioKorvane == directorioKorvane) return cache_;
        if (lista != vistos_ || directorioKorvane != vistosKorvane_) return nullptr;
    }
    // Made once per list, outside the lock that the window's thread takes too.
    auto c = std::make_shared<CacheMiradas>();
    c->lista = lista;
    c->directorioKorvane = directorioKorvane;
    c->rutas.reserve(lista->size());
    c->claves.reserve(lista->size());
    c->status.reserve(lista->size());
    for (const clsItemTerXX& item : *lista) {
        c->rutas.push_back(archivos::Unir(directorioKorvane, item.TerXX));
        c->claves.push_back(ClaveRuta(c->rutas.back()));
        c->status.push_back(En(c->rutas.back(), kStatus));
    }
    c->reposo = std::make_unique<std::atomic<std::uint64_t>[]>(lista->size());
    const std::lock_guard lock(m_);
    if (lista == vistos_ && directorioKorvane == vistosKorvane_) cache_ = c;
    return c;
}

std::optional<Hallazgo> CicloSondeo::MirarTerminal(const clsItemTerXX& item, const std::string& rutaKorvane,
                                                   const std::string& status, std::atomic<std::uint64_t>* reposo,
                                                   const std::string& directorioKorvane,
                                                   const std::string& directorioZelno) {
    // A terminal in a folder out of reach waits for it to come back, without a call.
    if (!cx_.cortes.Vacio() &&
        (cx_.cortes.Cortada(rutaKorvane) ||
         cx_.cortes.Cortada(archivos::Unir(directorioZelno, kPrefijoTerminal + item.CodigoTerminal))))
        return std::nullopt;
    // What a failure is reported with, made only then: an idle look costs its two file calls and no
    // turn. The turn itself is made on the window's thread.
    const auto conTurno = [&](auto&& hacer) {
        MemoriaTurno ninguna;
        Turno t(cx_, item, directorioKorvane, directorioZelno, ninguna);
        hacer(t);
    };
    std::optional<char> letra;
    try {
        if (!archivos::Existe(status)) {
            cx_.tablero.SinStatus(rutaKorvane);
            // No request yet, or no folder: only the second is worth a word.
            conTurno([](Turno& t) { VerCarpetas(t); });
            if (!cx_.fallos.Vacio()) cx_.fallos.FinDeTurno(item.TerXX);
            return std::nullopt;
        }
        // The first bytes decide: a STATUS.ZLN of any size costs a tick no more than a small one.
        letra = LetraSolicitud(archivos::LeerInicio(status, kInicioStatus, kAvisar));
        // The letter its last look found idle, with nothing changed since on the board or in the
        // records, is idle still: the board has it already, and the stage is the same.
        const std::uint64_t cambios = Cambios();
        if (reposo && cx_.fallos.Vacio() && reposo->load(std::memory_order_relaxed) == ClaveReposo(*letra, cambios))
            return std::nullopt;
        // Only a "C" needs the time it was seen.
        const bool cambio = cx_.tablero.Letra(rutaKorvane, *letra, *letra == 'C' ? cx_.esperador.AhoraMs() : 0);
        // An idle terminal costs its two file calls and nothing more.
        if (SinTrabajo(cx_.fichas.De(rutaKorvane, kAvisar).etapa, *letra)) {
            if (!cx_.fallos.Vacio()) {
                cx_.fallos.FinDeTurno(item.TerXX);
            } else if (reposo && Cambios() == cambios + (cambio ? 1 : 0)) {
                // Kept only when nothing but this look changed either meanwhile.
                reposo->store(ClaveReposo(*letra, cambios + (cambio ? 1 : 0)), std::memory_order_relaxed);
            }
            return std::nullopt;
        }
    } catch (const plataforma::BloqueoPasajero&) {
        // Held by another program for a moment, maybe: a turn reads it again shortly.
        letra.reset();
    } catch (...) {
        conTurno([](Turno& t) { AvisarFallo(t); });
        return std::nullopt;
    }
    return Hallazgo{item, letra, directorioKorvane, directorioZelno};
}

void CicloSondeo::Conocer(ListaTerminales terminales, const std::string& directorioKorvane,
                          const std::string& directorioZelno) {
    const std::lock_guard lock(m_);
    vistos_ = std::move(terminales);
    vistosKorvane_ = directorioKorvane;
    vistosZelno_ = directorioZelno;
}

void CicloSondeo::Cambio(const std::string& ruta) {
    {
        const std::lock_guard lock(m_);
        if (!vistos_) return;
        const auto esta = [](const std::string& a, const char* b) { return IgualesSinMayusculas(a, b); };
        const clsItemTerXX* item = nullptr;
        // The longer root first: one may lie inside the other.
        const bool zelnoDentro = vistosZelno_.size() > vistosKorvane_.size();
        for (int vuelta = 0; vuelta < 2 && item == nullptr; ++vuelta) {
            const bool deZelno = (vuelta == 0) == zelnoDentro;
            const auto partes = Debajo(ruta, deZelno ? vistosZelno_ : vistosKorvane_);
            if (!partes) continue;
            if (partes->size() != 2) break;
            const std::string& carpeta = (*partes)[0];
            if (!deZelno && esta((*partes)[1], kStatus)) {
                for (const clsItemTerXX& i : *vistos_)
                    if (esta(i.TerXX, carpeta.c_str())) item = &i;
            } else if (deZelno && esta((*partes)[1], kEstadoRsp) && carpeta.size() > std::strlen(kPrefijoTerminal) &&
                       esta(carpeta.substr(0, std::strlen(kPrefijoTerminal)), kPrefijoTerminal)) {
                const std::string codigo = carpeta.substr(std::strlen(kPrefijoTerminal));
                for (const clsItemTerXX& i : *vistos_)
                    if (esta(i.CodigoTerminal, codigo.c_str())) item = &i;
            }
            break;
        }
        if (item == nullptr) return;
        for (const clsItemTerXX& d : despertados_)
            if (d.TerXX == item->TerXX) return;
        despertados_.push_back(*item);
    }
    ejecutor_.Avisar();
}

void CicloSondeo::MirarDespertados() {
    std::vector<clsItemTerXX> despertados;
    std::string korvane, zelno;
    {
        const std::lock_guard lock(m_);
        if (despertados_.empty()) return;
        despertados.swap(despertados_);
        korvane = vistosKorvane_;
        zelno = vistosZelno_;
    }
    auto lista = std::make_shared<const std::vector<clsItemTerXX>>(std::move(despertados));
    ejecutor_.Ejecutar(
        [this, lista = ListaTerminales(std::move(lista)), korvane, zelno] { Mirar(lista, korvane, zelno); });
}

std::vector<Hallazgo> CicloSondeo::TomarHallazgos() {
    std::vector<Hallazgo> nuevos;
    const std::lock_guard lock(m_);
    nuevos.swap(hallados_);
    return nuevos;
}

void CicloSondeo::Devolver(std::vector<Hallazgo> resto) {
    const std::lock_guard lock(m_);
    hallados_.insert(hallados_.begin(), std::make_move_iterator(resto.begin()), std::make_move_iterator(resto.end()));
}

void CicloSondeo::TurnoTerminado(const std::string& rutaKorvane) {
    const std::string clave = ClaveRuta(rutaKorvane);
    const std::lock_guard lock(m_);
    conTurno_.erase(clave);
}

bool CicloSondeo::Pendientes() const {
    const std::lock_guard lock(m_);
    return !hallados_.empty() || !despertados_.empty();
}

void CicloSondeo::Descartar() {
    const std::lock_guard lock(m_);
    for (const Hallazgo& h : hallados_) conTurno_.erase(ClaveRuta(archivos::Unir(h.directorioKorvane, h.item.TerXX)));
    hallados_.clear();
    despertados_.clear();
}
