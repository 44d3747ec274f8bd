#include "bridge/estado_intercambio.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/archivos.h"
#include "platform/carpetas.h"
#include "platform/error_sistema.h"
#include "platform/registro_actividad.h"
#include "platform/texto_ansi.h"

namespace {

// Each terminal folder gets its own file, named by its folder and a hash of its whole path (letter
// case ignored, as the file system does), so that another root with the same terminal names differs.
std::uint64_t Fnv1a(std::string_view texto) {
    std::uint64_t h = 14695981039346656037ull;
    for (char c : texto) {
        h ^= static_cast<unsigned char>(MayusculaAnsi(c));
        h *= 1099511628211ull;
    }
    return h;
}

std::string UltimoComponente(const std::string& ruta) {
    const auto barra = ruta.find_last_of("\\/");
    return barra == std::string::npos ? ruta : ruta.substr(barra + 1);
}

constexpr std::string_view kMarcaRanura = "tramiza-registro ";

// FNV-1a over the record's number and text: a slot written only in part does not check.
std::uint32_t SumaRanura(std::uint64_t numero, std::string_view texto) {
    std::uint32_t h = 2166136261u;
    const auto mezclar = [&](unsigned char c) {
        h ^= c;
        h *= 16777619u;
    };
    for (int i = 0; i < 8; ++i) mezclar(static_cast<unsigned char>(numero >> (8 * i)));
    for (const char c : texto) mezclar(static_cast<unsigned char>(c));
    return h;
}

struct RanuraLeida {
    std::uint64_t numero;
    std::string_view texto;
};

// "tramiza-registro NUMBER LENGTH CHECKSUM\n" then the text: nothing when any of it does not hold.
std::optional<RanuraLeida> LeerRanura(std::string_view ranura) {
    if (!ranura.starts_with(kMarcaRanura)) return std::nullopt;
    ranura.remove_prefix(kMarcaRanura.size());
    const auto fin = ranura.find('\n');
    if (fin == std::string_view::npos) return std::nullopt;
    const char* p = ranura.data();
    const char* const finCabecera = p + fin;
    std::uint64_t numero = 0;
    std::size_t longitud = 0;
    std::uint32_t suma = 0;
    auto r = std::from_chars(p, finCabecera, numero);
    if (r.ec != std::errc{} || r.ptr == finCabecera || *r.ptr != ' ') return std::nullopt;
    r = std::from_chars(r.ptr + 1, finCabecera, longitud);
    if (r.ec != std::errc{} || r.ptr == finCabecera || *r.ptr != ' ') return std::nullopt;
    r = std::from_chars(r.ptr + 1, finCabecera, suma, 16);
    if (r.ec != std::errc{} || r.ptr != finCabecera) return std::nullopt;
    // Far beyond any count of writes: the number after it never wraps round to a smaller one.
    if (numero >= (std::uint64_t{1} << 62)) return std::nullopt;
    const std::string_view resto = ranura.substr(fin + 1);
    if (longitud > resto.size()) return std::nullopt;
    const std::string_view texto = resto.substr(0, longitud);
    if (SumaRanura(numero, texto) != suma) return std::nullopt;
    return RanuraLeida{numero, texto};
}

const char* NombreResultado(EstadoIntercambio::Resultado r) {
    switch (r) {
        case EstadoIntercambio::Resultado::ErrorFormato: return "formato";
        case EstadoIntercambio::Resultado::ErrorComunicacion: return "comunicacion";
        case EstadoIntercambio::Resultado::SinRespuesta: return "sinrespuesta";
        default: return "cliente";
    }
}

constexpr EstadoIntercambio::Etapa kEtapas[] = {
    EstadoIntercambio::Etapa::Ninguna,    EstadoIntercambio::Etapa::Decidida,     EstadoIntercambio::Etapa::Subiendo,
    EstadoIntercambio::Etapa::Entregando, EstadoIntercambio::Etapa::Entregada,    EstadoIntercambio::Etapa::EnDuda,
    EstadoIntercambio::Etapa::Vencida,    EstadoIntercambio::Etapa::Respondiendo, EstadoIntercambio::Etapa::Respondida,
};

}  // namespace

const char* NombreEtapa(EstadoIntercambio::Etapa e) {
    switch (e) {
        case EstadoIntercambio::Etapa::Decidida: return "decidida";
        case EstadoIntercambio::Etapa::Subiendo: return "subiendo";
        case EstadoIntercambio::Etapa::Entregando: return "entregando";
        case EstadoIntercambio::Etapa::Entregada: return "entregada";
        case EstadoIntercambio::Etapa::EnDuda: return "enduda";
        case EstadoIntercambio::Etapa::Vencida: return "vencida";
        case EstadoIntercambio::Etapa::Respondiendo: return "respondiendo";
        case EstadoIntercambio::Etapa::Respondida: return "respondida";
        default: return "ninguna";
    }
}

Accion QueHacer(EstadoIntercambio::Etapa etapa, char letra) {
    using E = EstadoIntercambio::Etapa;
    const bool c = letra == 'C', p = letra == 'P';
    switch (etapa) {
        case E::Ninguna: return c ? Accion::Entregar : p ? Accion::Retornar : Accion::Nada;
        // A decision serves only the request it was made for: a "C" is decided again from its files,
        // and a letter that is neither ends it ("S": a repeat answered just before a stop).
        case E::Decidida: return c ? Accion::Entregar : p ? Accion::Completar : Accion::Olvidar;
        // "P" is ours alone; any other letter means the till left the request while the client
        // may hold it or answer it.
        case E::Subiendo:
        case E::Entregando: return p ? Accion::Reanudar : Accion::Abandonada;
        case E::Entregada:
        case E::EnDuda: return p ? Accion::Retornar : Accion::Abandonada;
        case E::Vencida: return p ? Accion::Retornar : Accion::Tardia;
        // Answer files may be in the terminal folder, but no "S": "P" tries the return again, "S"
        // (written just before a stop) finishes it, and any other letter means the till left the
        // request before it got its answer.
        case E::Respondiendo: return p ? Accion::Retornar : letra == 'S' ? Accion::Limpiar : Accion::Abandonada;
        // "S" is on the disk (or, in a record of an older version, may be): only the cleanup is left.
        case E::Respondida: return p ? Accion::Retornar : Accion::Limpiar;
    }
    return Accion::Nada;
}

void CrearConSusPadres(const std::string& carpeta, archivos::AnteBloqueo modo) {
    if (carpeta.empty() || archivos::ExisteEntrada(carpeta)) return;
    const auto barra = carpeta.find_last_of("\\/");
    if (barra != std::string::npos && barra > 0) CrearConSusPadres(carpeta.substr(0, barra), modo);
    try {
        archivos::CrearCarpeta(carpeta, modo);
    } catch (const plataforma::ErrorSistema&) {
        // Made meanwhile by another terminal's step: what was wanted.
        if (!archivos::ExisteEntrada(carpeta)) throw;
    }
}

std::string TextoEstado(const EstadoIntercambio& e) {
    return std::string("etapa=") + NombreEtapa(e.etapa) + "\nduplicado=" + (e.duplicado ? "1" : "0") +
           "\nconClicab=" + (e.conClicab ? "1" : "0") + "\nconPraxis=" + (e.conPraxis ? "1" : "0") +
           "\nproveedor=" + e.proveedor + "\nresultado=" + NombreResultado(e.resultado) +
           "\nrespuestaGuardada=" + (e.respuestaGuardada ? "1" : "0") + "\n";
}

EstadoIntercambio EstadoDeTexto(std::string_view texto) {
    EstadoIntercambio e;
    while (!texto.empty()) {
        const auto fin = texto.find('\n');
        const std::string_view linea = texto.substr(0, fin);
        texto = fin == std::string_view::npos ? std::string_view{} : texto.substr(fin + 1);
        const auto igual = linea.find('=');
        if (igual == std::string_view::npos) continue;
        const std::string_view clave = linea.substr(0, igual), valor = linea.substr(igual + 1);
        if (clave == "etapa") {
            for (const auto etapa : kEtapas)
                if (valor == NombreEtapa(etapa)) e.etapa = etapa;
        } else if (clave == "duplicado") {
            e.duplicado = valor == "1";
        } else if (clave == "conClicab") {
            e.conClicab = valor == "1";
        } else if (clave == "conPraxis") {
            e.conPraxis = valor == "1";
        } else if (clave == "proveedor") {
            e.proveedor = std::string(valor);
        } else if (clave == "resultado") {
            e.resultado = valor == "formato"        ? EstadoIntercambio::Resultado::ErrorFormato
                          : valor == "comunicacion" ? EstadoIntercambio::Resultado::ErrorComunicacion
                          : valor == "sinrespuesta" ? EstadoIntercambio::Resultado::SinRespuesta
                                                    : EstadoIntercambio::Resultado::Cliente;
        } else if (clave == "respuestaGuardada") {
            e.respuestaGuardada = valor == "1";
        }
    }
    return e;
}

std::string RanuraRegistro(std::uint64_t numero, const EstadoIntercambio& estado) {
    const std::string texto = TextoEstado(estado);
    char cabecera[96];
    std::snprintf(cabecera, sizeof cabecera, "%s%llu %zu %08lx\n", std::string(kMarcaRanura).c_str(),
                  static_cast<unsigned long long>(numero), texto.size(),
                  static_cast<unsigned long>(SumaRanura(numero, texto)));
    std::string ranura = cabecera + texto;
    // Its text is a few short fields (the provider code has 8 characters): far below the slot.
    if (ranura.size() > kRanuraRegistro) throw plataforma::ErrorSistema(0, "registro de intercambio demasiado largo");
    ranura.resize(kRanuraRegistro, '\0');
    return ranura;
}

RegistroLeido LeerRegistro(std::string_view contenido) {
    const auto ranura = [&](std::size_t i) {
        return i * kRanuraRegistro < contenido.size() ? contenido.substr(i * kRanuraRegistro, kRanuraRegistro)
                                                      : std::string_view{};
    };
    const auto a = LeerRanura(ranura(0)), b = LeerRanura(ranura(1));
    RegistroLeido leido;
    if (a || b) {
        const bool segunda = b && (!a || b->numero > a->numero);
        const RanuraLeida& vigente = segunda ? *b : *a;
        leido.estado = EstadoDeTexto(vigente.texto);
        leido.numero = vigente.numero;
        leido.ranura = segunda ? 1 : 0;
    } else if (const std::string_view primera = ranura(0); !primera.starts_with(kMarcaRanura)) {
        // The text of an older version; or nothing whole written yet, which reads as no record.
        leido.estado = EstadoDeTexto(primera.substr(0, primera.find('\0')));
    }
    return leido;
}

std::string CarpetaNoEntregadas(const std::string& carpetaRegistros) {
    const auto barra = carpetaRegistros.find_last_of("\\/");
    if (carpetaRegistros.empty() || barra == std::string::npos) return {};
    return carpetaRegistros.substr(0, barra + 1) + "NoEntregadas";
}

std::string CarpetaRegistroIntercambios() {
    try {
        return archivos::Unir(carpetas::DatosPrograma(), "Intercambios");
    } catch (...) {
        actividad::AnotarFalloIgnorado("carpeta de los registros de intercambio");
        return {};
    }
}

RegistroIntercambios::RegistroIntercambios(std::string carpeta) : carpeta_(std::move(carpeta)) {}

std::string RegistroIntercambios::Archivo(const std::string& rutaKorvane) const {
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(rutaKorvane)));
    return archivos::Unir(carpeta_, UltimoComponente(rutaKorvane) + "-" + hash + ".txt");
}

RegistroLeido RegistroIntercambios::Cargar(const std::string& rutaKorvane, archivos::AnteBloqueo modo) {
    {
        const std::lock_guard lock(m_);
        const auto hallado = enMemoria_.find(rutaKorvane);
        if (hallado != enMemoria_.end()) return hallado->second;
    }
    RegistroLeido leido;
    if (!carpeta_.empty()) {
        const std::string archivo = Archivo(rutaKorvane);
        if (archivos::Existe(archivo)) {
            leido = LeerRegistro(archivos::LeerInicio(archivo, 2 * kRanuraRegistro, modo));
            leido.enDisco = true;
        }
    }
    const std::lock_guard lock(m_);
    return enMemoria_.emplace(rutaKorvane, leido).first->second;
}

EstadoIntercambio RegistroIntercambios::De(const std::string& rutaKorvane, archivos::AnteBloqueo modo) {
    return Cargar(rutaKorvane, modo).estado;
}

void RegistroIntercambios::Grabar(const std::string& rutaKorvane, const EstadoIntercambio& estado,
                                  archivos::AnteBloqueo modo) {
    // Only this terminal's own steps write its record, one at a time: what is in force stays so
    // until the write below is through.
    RegistroLeido nuevo = Cargar(rutaKorvane, modo);
    nuevo.estado = estado;
    nuevo.numero += 1;
    nuevo.ranura = 1 - nuevo.ranura;
    if (!carpeta_.empty()) {
        if (!carpetaLista_) CrearConSusPadres(carpeta_, modo);
        carpetaLista_ = true;
        const std::string archivo = Archivo(rutaKorvane);
        const std::string ranura = RanuraRegistro(nuevo.numero, estado);
        if (nuevo.enDisco) {
            archivos::ArchivoBinario abierto(archivo, modo);
            abierto.EscribirEn(static_cast<std::int64_t>(nuevo.ranura) * kRanuraRegistro, ranura);
            abierto.Sincronizar();
        } else {
            // A file made anew (its record goes into slot 1), name and all, through a temporary one:
            // a power cut cannot leave its name without its content.
            archivos::EscribirSeguro(archivo, std::string(kRanuraRegistro, '\0') + ranura, modo);
            nuevo.enDisco = true;
        }
    }
    const std::lock_guard lock(m_);
    enMemoria_[rutaKorvane] = nuevo;
    cambios_.fetch_add(1, std::memory_order_release);
}

std::optional<EstadoIntercambio> RegistroIntercambios::EnMemoria(const std::string& rutaKorvane) const {
    const std::lock_guard lock(m_);
    const auto hallado = enMemoria_.find(rutaKorvane);
    if (hallado == enMemoria_.end()) return std::nullopt;
    return hallado->second.estado;
}
