#include "bridge/tablero_terminales.h"

#include <cstdio>

#include "platform/texto_ansi.h"

namespace {

using Etapa = FichaIntercambio::Etapa;

bool MismoDia(const archivos::FechaHora& a, const archivos::FechaHora& b) {
    return a.anio == b.anio && a.mes == b.mes && a.dia == b.dia;
}

// "14:05:33"; with its date when it is not of the day of `ahora`: "05/12/2026 14:05:33".
std::string Momento(const archivos::FechaHora& f, const archivos::FechaHora& ahora) {
    char texto[48];
    if (MismoDia(f, ahora))
        std::snprintf(texto, sizeof texto, "%02d:%02d:%02d", f.hora, f.minuto, f.segundo);
    else
        std::snprintf(texto, sizeof texto, "%02d/%02d/%04d %02d:%02d:%02d", f.dia, f.mes, f.anio, f.hora, f.minuto,
                      f.segundo);
    return texto;
}

// "4,2 s" to the tenth; a minute or more "2 min 05 s".
std::string Duracion(std::int64_t ms) {
    char texto[48];
    if (ms < 0) ms = 0;
    if (ms < 59950) {
        const long long decimas = (ms + 50) / 100;
        std::snprintf(texto, sizeof texto, "%lld,%lld s", decimas / 10, decimas % 10);
    } else {
        const long long segundos = (ms + 500) / 1000;
        std::snprintf(texto, sizeof texto, "%lld min %02lld s", segundos / 60, segundos % 60);
    }
    return texto;
}

std::string TextoLetra(char letra) {
    if (letra == '\0') return "ninguna";
    if (letra == 'C' || letra == 'P' || letra == 'S') return std::string(1, letra);
    const auto c = static_cast<unsigned char>(letra);
    if (c < 0x20 || c == 0x7F) {
        char texto[16];
        std::snprintf(texto, sizeof texto, "otra (0x%02X)", c);
        return texto;
    }
    return std::string("otra (") + letra + ")";
}

const char* TextoResultado(ClaseRespuesta r) {
    using R = ClaseRespuesta;
    switch (r) {
        case R::ErrorComunicacion: return "error del cliente";
        case R::ErrorFormato: return "error de formato (respuesta de Tramiza)";
        case R::SinRespuesta: return "sin respuesta del cliente (error de comunicación de Tramiza)";
        case R::Duplicado: return "duplicado: respuesta anterior";
        default: return "respuesta del cliente";
    }
}

// Where an exchange stands with no turn in progress, from what the next turn would do.
const char* EnEspera(Etapa etapa, char letra) {
    switch (QueHacer(etapa, letra)) {
        case Accion::Entregar: return "solicitud nueva por entregar";
        case Accion::Completar:
        case Accion::Reanudar: return "entregando la solicitud";
        case Accion::Retornar:
            if (etapa == Etapa::EnDuda) return "esperando al cliente (entrega dudosa)";
            if (etapa == Etapa::Vencida || etapa == Etapa::Respondiendo || etapa == Etapa::Respondida)
                return "devolviendo la respuesta";
            return "esperando al cliente";
        case Accion::Limpiar: return "terminando la respuesta";
        case Accion::Abandonada: return "solicitud dejada por la terminal";
        case Accion::Tardia: return "en reposo (se vigila una respuesta tardía)";
        default: return "en reposo";
    }
}

// What the turn in progress is about.
const char* EnCurso(Etapa etapa, char letra) {
    switch (QueHacer(etapa, letra)) {
        case Accion::Entregar:
        case Accion::Completar:
        case Accion::Reanudar: return "entregando la solicitud";
        case Accion::Retornar:
        case Accion::Limpiar: return "devolviendo la respuesta";
        case Accion::Abandonada:
        case Accion::Tardia: return "guardando aparte una respuesta no entregada";
        default: return "atendiendo";
    }
}

// A letter not known (a lock kept it from being read): the one the stage goes with.
char LetraDeEtapa(Etapa etapa) { return etapa == Etapa::Ninguna ? '\0' : etapa == Etapa::Vencida ? 'S' : 'P'; }

// One line in a list cell.
std::string EnUnaLinea(std::string texto) {
    for (char& c : texto)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return texto;
}

}  // namespace

std::string CodigoErrorCliente(const std::string& textoEstado) {
    std::string codigo;
    for (char c : textoEstado) {
        if (c == '\r' || c == '\n') continue;
        codigo += c;
        if (codigo.size() == 3) break;
    }
    return std::string(SinBlancosExtremos(codigo));
}

bool TableroTerminales::Letra(const std::string& ruta, char letra, std::int64_t ms) {
    const std::lock_guard lock(m_);
    Terminal& t = terminales_[ClaveRuta(ruta)];
    const auto letraAntes = t.letra;
    const bool sinStatusAntes = t.sinStatus, enPAntes = t.pedidaEnP;
    const auto pedidaAntes = t.pedidaMs;
    t.letra = letra;
    t.sinStatus = false;
    if (letra == 'C') {
        // A "C" after the request was "P" is a new request.
        if (!t.pedidaMs || t.pedidaEnP) t.pedidaMs = ms;
        t.pedidaEnP = false;
    } else if (letra == 'P') {
        t.pedidaEnP = t.pedidaMs.has_value();
    } else {
        // The request ended without an answer of ours.
        t.pedidaMs.reset();
    }
    const bool cambio = t.letra != letraAntes || sinStatusAntes || t.pedidaMs != pedidaAntes || t.pedidaEnP != enPAntes;
    if (cambio) Cambio();
    return cambio;
}

void TableroTerminales::SinStatus(const std::string& ruta) {
    const std::lock_guard lock(m_);
    Terminal& t = terminales_[ClaveRuta(ruta)];
    if (t.sinStatus && !t.letra && !t.pedidaMs) return;
    t.letra.reset();
    t.sinStatus = true;
    t.pedidaMs.reset();
    Cambio();
}

void TableroTerminales::Responder(Terminal& t, ClaseRespuesta r, const archivos::FechaHora& hora, std::int64_t ms) {
    t.horaRespuesta = hora;
    t.resultado = r;
    t.codigoError.clear();
    t.duracionMs.reset();
    if (t.pedidaMs) t.duracionMs = ms - *t.pedidaMs;
    t.pedidaMs.reset();
    t.letra = 'S';
    t.sinStatus = false;
}

void TableroTerminales::Respondida(const std::string& ruta, const FichaIntercambio& e, const std::string& textoEstado,
                                   const archivos::FechaHora& hora, std::int64_t ms) {
    const std::lock_guard lock(m_);
    Terminal& t = terminales_[ClaveRuta(ruta)];
    Responder(t, e.resultado, hora, ms);
    if (e.resultado == ClaseRespuesta::ErrorComunicacion) t.codigoError = CodigoErrorCliente(textoEstado);
    Cambio();
}

void TableroTerminales::RespondidaDuplicado(const std::string& ruta, const archivos::FechaHora& hora, std::int64_t ms) {
    const std::lock_guard lock(m_);
    Responder(terminales_[ClaveRuta(ruta)], ClaseRespuesta::Duplicado, hora, ms);
    Cambio();
}

void TableroTerminales::Fallo(const std::string& ruta, const char* punto, const std::string& texto,
                              const archivos::FechaHora& hora) {
    const std::lock_guard lock(m_);
    Terminal& t = terminales_[ClaveRuta(ruta)];
    Cambio();
    if (t.falloDesde && !t.falloResuelto && t.puntoFallo == punto && t.textoFallo == texto) {
        ++t.veces;
        return;
    }
    t.falloDesde = hora;
    t.puntoFallo = punto;
    t.textoFallo = texto;
    t.veces = 1;
    t.falloResuelto.reset();
}

void TableroTerminales::TurnoCumplido(const std::string& ruta, const RelojLocal& reloj) {
    const std::lock_guard lock(m_);
    const auto hallado = terminales_.find(ClaveRuta(ruta));
    if (hallado == terminales_.end()) return;
    Terminal& t = hallado->second;
    if (t.falloDesde && !t.falloResuelto) t.falloResuelto = reloj();
    Cambio();
}

FilaTerminal TableroTerminales::Fila(const std::string& ruta, const std::string& nombre, const FichaIntercambio* ficha,
                                     const char* puntoEnCurso, const archivos::FechaHora& ahora) const {
    const std::lock_guard lock(m_);
    FilaTerminal fila;
    fila.terminal = nombre;
    const auto hallado = terminales_.find(ClaveRuta(ruta));
    const Terminal vacio{};
    const Terminal& t = hallado != terminales_.end() ? hallado->second : vacio;

    fila.letra = t.sinStatus ? "sin STATUS.ZLN" : t.letra ? TextoLetra(*t.letra) : "sin leer";

    const Etapa etapa = ficha ? ficha->etapa : Etapa::Ninguna;
    const char letra = t.letra ? *t.letra : t.sinStatus ? '\0' : LetraDeEtapa(etapa);
    if (puntoEnCurso)
        fila.situacion = std::string(EnCurso(etapa, letra)) + ", punto control " + puntoEnCurso;
    else if (!ficha && !t.letra && !t.sinStatus)
        fila.situacion = "sin sondear";
    else
        fila.situacion = EnEspera(etapa, letra);

    if (t.horaRespuesta) {
        fila.hora = Momento(*t.horaRespuesta, ahora);
        fila.resultado = TextoResultado(t.resultado);
        if (t.resultado == ClaseRespuesta::ErrorComunicacion)
            fila.resultado += t.codigoError.empty() ? std::string(" (sin código)") : " " + EnUnaLinea(t.codigoError);
        fila.duracion = t.duracionMs ? Duracion(*t.duracionMs) : "no conocida";
    }

    if (t.falloDesde) {
        fila.fallo =
            "punto control " + t.puntoFallo + (t.veces > 1 ? ", desde " : ", ") + Momento(*t.falloDesde, ahora);
        if (t.veces > 1) fila.fallo += " (" + std::to_string(t.veces) + " veces)";
        if (t.falloResuelto) fila.fallo += "; resuelto " + Momento(*t.falloResuelto, ahora);
        fila.textoFallo = EnUnaLinea(t.textoFallo);
    }
    return fila;
}
