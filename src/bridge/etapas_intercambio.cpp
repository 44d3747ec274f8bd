#include "bridge/etapas_intercambio.h"

#include <utility>

using Etapa = FichaIntercambio::Etapa;

const char* NombreEtapa(Etapa e) {
    switch (e) {
        case Etapa::Decidida: return "decidida";
        case Etapa::Subiendo: return "subiendo";
        case Etapa::Entregando: return "entregando";
        case Etapa::Entregada: return "entregada";
        case Etapa::EnDuda: return "enduda";
        case Etapa::Vencida: return "vencida";
        case Etapa::Respondiendo: return "respondiendo";
        case Etapa::Respondida: return "respondida";
        default: return "ninguna";
    }
}

std::optional<Etapa> EtapaDeNombre(std::string_view nombre) {
    for (const auto etapa : {Etapa::Ninguna, Etapa::Decidida, Etapa::Subiendo, Etapa::Entregando, Etapa::Entregada,
                             Etapa::EnDuda, Etapa::Vencida, Etapa::Respondiendo, Etapa::Respondida})
        if (nombre == NombreEtapa(etapa)) return etapa;
    return std::nullopt;
}

namespace transicion {

void Decidir(FichaIntercambio& f, bool duplicado, bool conClicab, bool conPraxis, std::string proveedor) {
    f.etapa = Etapa::Decidida;
    f.duplicado = duplicado;
    f.conClicab = conClicab;
    f.conPraxis = conPraxis;
    f.proveedor = std::move(proveedor);
    f.esperaDesde.reset();
    f.tomadaPorCliente = f.tomadaIncierta = f.retirada = false;
    // The copies about to be made describe a new request, whose answer is not kept yet.
    if (!duplicado) f.respuestaGuardada = false;
}

void Subir(FichaIntercambio& f) { f.etapa = Etapa::Subiendo; }
void Entregar(FichaIntercambio& f) { f.etapa = Etapa::Entregando; }
void Entregada(FichaIntercambio& f) { f.etapa = Etapa::Entregada; }
void Retroceder(FichaIntercambio& f, Etapa atras) { f.etapa = atras; }
void Dudar(FichaIntercambio& f, std::int64_t ahoraMs, bool retirar) {
    f.etapa = Etapa::EnDuda;
    f.esperaDesde = ahoraMs;
    f.retirada = !retirar;
}

void Retirada(FichaIntercambio& f) { f.retirada = true; }

void DudarTomada(FichaIntercambio& f, std::int64_t ahoraMs, bool incierta) {
    Dudar(f, ahoraMs, false);
    f.tomadaPorCliente = true;
    f.tomadaIncierta = incierta;
}

void EmpezarEspera(FichaIntercambio& f, std::int64_t ahoraMs) { f.esperaDesde = ahoraMs; }

void Responder(FichaIntercambio& f, ClaseRespuesta clase) {
    f.etapa = Etapa::Respondiendo;
    f.resultado = clase;
    f.respuestaGuardada = false;
    f.esperaDesde.reset();
}

void Respondida(FichaIntercambio& f) { f.etapa = Etapa::Respondida; }

void Limpiada(FichaIntercambio& f) {
    f.etapa = f.resultado == ClaseRespuesta::SinRespuesta ? Etapa::Vencida : Etapa::Ninguna;
}

void Soltar(FichaIntercambio& f, bool respuestaGuardada) {
    f.etapa = Etapa::Ninguna;
    f.respuestaGuardada = respuestaGuardada;
    f.esperaDesde.reset();
}

void SoltarSinRespuesta(FichaIntercambio& f, bool incierta) {
    Soltar(f);
    f.anteriorPendiente = true;
    f.anteriorIncierta = incierta;
}

void AnteriorPorApartar(FichaIntercambio& f) {
    if (!f.anteriorPendiente) f.anteriorIncierta = false;
    f.anteriorPendiente = true;
}

void AnteriorRespondida(FichaIntercambio& f) { f.anteriorPendiente = f.anteriorIncierta = false; }

void Olvidar(FichaIntercambio& f) {
    f.etapa = Etapa::Ninguna;
    f.esperaDesde.reset();
}
void Leida(FichaIntercambio& f, Etapa etapa) { f.etapa = etapa; }

}  // namespace transicion

Accion QueHacer(Etapa etapa, char letra) {
    const bool c = letra == 'C', p = letra == 'P';
    switch (etapa) {
        case Etapa::Ninguna: return c ? Accion::Entregar : p ? Accion::Retornar : Accion::Nada;
        // A decision serves only the request it was made for: a "C" is decided again from its files,
        // and a letter that is neither ends it ("S": a repeat answered just before a stop).
        case Etapa::Decidida: return c ? Accion::Entregar : p ? Accion::Completar : Accion::Olvidar;
        // "P" is ours alone; any other letter means the till left the request while the client
        // may hold it or answer it.
        case Etapa::Subiendo:
        case Etapa::Entregando: return p ? Accion::Reanudar : Accion::Abandonada;
        case Etapa::Entregada:
        case Etapa::EnDuda: return p ? Accion::Retornar : Accion::Abandonada;
        case Etapa::Vencida: return p ? Accion::Retornar : Accion::Tardia;
        // Answer files may be in the terminal folder, but no "S": "P" tries the return again, "S"
        // (written just before a stop) finishes it, and any other letter means the till left the
        // request before it got its answer.
        case Etapa::Respondiendo: return p ? Accion::Retornar : letra == 'S' ? Accion::Limpiar : Accion::Abandonada;
        // "S" is on the disk (or, in a record of an older version, may be): only the cleanup is left.
        case Etapa::Respondida: return p ? Accion::Retornar : Accion::Limpiar;
    }
    return Accion::Nada;
}
