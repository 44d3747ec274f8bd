#include "bridge/ficha_intercambio.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/carpetas.h"
#include "platform/error_sistema.h"
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

const char* NombreResultado(ClaseRespuesta r) {
    switch (r) {
        case ClaseRespuesta::ErrorFormato: return "formato";
        case ClaseRespuesta::ErrorComunicacion: return "comunicacion";
        case ClaseRespuesta::SinRespuesta: return "sinrespuesta";
        default: return "cliente";
    }
}

// A flag that may be only perhaps true, as one line written only when set: the slot is small.
std::string Certeza(const char* clave, bool si, bool incierta) {
    if (!si) return {};
    return std::string(clave) + (incierta ? "=incierta\n" : "=cierta\n");
}

}  // namespace

std::string TextoFicha(const FichaIntercambio& e) {
    return std::string("etapa=") + NombreEtapa(e.etapa) + "\nduplicado=" + (e.duplicado ? "1" : "0") +
           "\nconClicab=" + (e.conClicab ? "1" : "0") + "\nconPraxis=" + (e.conPraxis ? "1" : "0") +
           "\nproveedor=" + e.proveedor + "\nresultado=" + NombreResultado(e.resultado) +
           "\nrespuestaGuardada=" + (e.respuestaGuardada ? "1" : "0") + "\n" +
           (e.esperaDesde ? "esperaDesde=" + std::to_string(*e.esperaDesde) + "\n" : std::string()) +
           Certeza("anterior", e.anteriorPendiente, e.anteriorIncierta) +
           Certeza("tomada", e.tomadaPorCliente, e.tomadaIncierta) + (e.retirada ? "retirada=1\n" : "");
}

FichaIntercambio FichaDeTexto(std::string_view texto) {
    FichaIntercambio e;
    while (!texto.empty()) {
        const auto fin = texto.find('\n');
        const std::string_view linea = texto.substr(0, fin);
        texto = fin == std::string_view::npos ? std::string_view{} : texto.substr(fin + 1);
        const auto igual = linea.find('=');
        if (igual == std::string_view::npos) continue;
        const std::string_view clave = linea.substr(0, igual), valor = linea.substr(igual + 1);
        if (clave == "etapa") {
            if (const auto etapa = EtapaDeNombre(valor)) transicion::Leida(e, *etapa);
        } else if (clave == "duplicado") {
            e.duplicado = valor == "1";
        } else if (clave == "conClicab") {
            e.conClicab = valor == "1";
        } else if (clave == "conPraxis") {
            e.conPraxis = valor == "1";
        } else if (clave == "proveedor") {
            e.proveedor = std::string(valor);
        } else if (clave == "resultado") {
            e.resultado = valor == "formato"        ? ClaseRespuesta::ErrorFormato
                          : valor == "comunicacion" ? ClaseRespuesta::ErrorComunicacion
                          : valor == "sinrespuesta" ? ClaseRespuesta::SinRespuesta
                                                    : ClaseRespuesta::Cliente;
        } else if (clave == "respuestaGuardada") {
            e.respuestaGuardada = valor == "1";
        } else if (clave == "anteriorPendiente") {  // as the build before wrote it
            e.anteriorPendiente = valor == "1";
        } else if (clave == "anterior") {
            e.anteriorPendiente = valor == "cierta" || valor == "incierta";
            e.anteriorIncierta = valor == "incierta";
        } else if (clave == "tomada") {
            e.tomadaPorCliente = valor == "cierta" || valor == "incierta";
            e.tomadaIncierta = valor == "incierta";
        } else if (clave == "retirada") {
            e.retirada = valor == "1";
        } else if (clave == "esperaDesde") {
            std::int64_t ms = 0;
            const auto [fin, error] = std::from_chars(valor.data(), valor.data() + valor.size(), ms);
            if (error == std::errc{} && fin == valor.data() + valor.size()) e.esperaDesde = ms;
        }
    }
    return e;
}

std::string RanuraFicha(std::uint64_t numero, const FichaIntercambio& ficha) {
    const std::string texto = TextoFicha(ficha);
    char cabecera[96];
    std::snprintf(cabecera, sizeof cabecera, "%s%llu %zu %08lx\n", std::string(kMarcaRanura).c_str(),
                  static_cast<unsigned long long>(numero), texto.size(),
                  static_cast<unsigned long>(SumaRanura(numero, texto)));
    std::string ranura = cabecera + texto;
    // Its text is a few short fields (the provider code has 8 characters): far below the slot.
    if (ranura.size() > kRanuraFicha) throw plataforma::ErrorSistema(0, "registro de intercambio demasiado largo");
    ranura.resize(kRanuraFicha, '\0');
    return ranura;
}

FichaLeida LeerFicha(std::string_view contenido) {
    const auto ranura = [&](std::size_t i) {
        return i * kRanuraFicha < contenido.size() ? contenido.substr(i * kRanuraFicha, kRanuraFicha)
                                                   : std::string_view{};
    };
    const auto a = LeerRanura(ranura(0)), b = LeerRanura(ranura(1));
    FichaLeida leido;
    if (a || b) {
        const bool segunda = b && (!a || b->numero > a->numero);
        const RanuraLeida& vigente = segunda ? *b : *a;
        leido.ficha = FichaDeTexto(vigente.texto);
        leido.numero = vigente.numero;
        leido.ranura = segunda ? 1 : 0;
    } else if (const std::string_view primera = ranura(0); !primera.starts_with(kMarcaRanura)) {
        // The text of an older version; or nothing whole written yet, which reads as no record.
        leido.ficha = FichaDeTexto(primera.substr(0, primera.find('\0')));
    }
    return leido;
}

std::string CarpetaNoEntregadas(const std::string& carpetaFichas) {
    const auto barra = carpetaFichas.find_last_of("\\/");
    if (carpetaFichas.empty() || barra == std::string::npos) return {};
    return carpetaFichas.substr(0, barra + 1) + "NoEntregadas";
}

std::string CarpetaFichas() {
    try {
        return archivos::Unir(carpetas::DatosPrograma(), "Intercambios");
    } catch (...) {
        actividad::AnotarFalloIgnorado("carpeta de los registros de intercambio");
        return {};
    }
}

FichasIntercambio::FichasIntercambio(std::string carpeta) : carpeta_(std::move(carpeta)) {}

std::string FichasIntercambio::Archivo(const std::string& rutaKorvane) const {
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(rutaKorvane)));
    return archivos::Unir(carpeta_, UltimoComponente(rutaKorvane) + "-" + hash + ".txt");
}

FichaLeida FichasIntercambio::Cargar(const std::string& rutaKorvane, archivos::AnteBloqueo modo) {
    {
        const std::lock_guard lock(m_);
        const auto hallado = enMemoria_.find(ClaveRuta(rutaKorvane));
        if (hallado != enMemoria_.end()) return hallado->second;
    }
    FichaLeida leido;
    if (!carpeta_.empty()) {
        const std::string archivo = Archivo(rutaKorvane);
        if (archivos::Existe(archivo)) {
            leido = LeerFicha(archivos::LeerInicio(archivo, 2 * kRanuraFicha, modo));
            leido.enDisco = true;
        }
    }
    const std::lock_guard lock(m_);
    return enMemoria_.emplace(ClaveRuta(rutaKorvane), leido).first->second;
}

FichaIntercambio FichasIntercambio::De(const std::string& rutaKorvane, archivos::AnteBloqueo modo) {
    return Cargar(rutaKorvane, modo).ficha;
}

void FichasIntercambio::Grabar(const std::string& rutaKorvane, const FichaIntercambio& ficha,
                               archivos::AnteBloqueo modo) {
    // Only this terminal's own steps write its record, one at a time: what is in force stays so
    // until the write below is through.
    FichaLeida nuevo = Cargar(rutaKorvane, modo);
    nuevo.ficha = ficha;
    nuevo.numero += 1;
    nuevo.ranura = 1 - nuevo.ranura;
    if (!carpeta_.empty()) {
        if (!carpetaLista_) archivos::CrearConSusPadres(carpeta_, modo);
        carpetaLista_ = true;
        const std::string archivo = Archivo(rutaKorvane);
        const std::string ranura = RanuraFicha(nuevo.numero, ficha);
        if (nuevo.enDisco) {
            archivos::ArchivoBinario abierto(archivo, modo);
            abierto.EscribirEn(static_cast<std::int64_t>(nuevo.ranura) * kRanuraFicha, ranura);
            abierto.Sincronizar();
        } else {
            // A file made anew (its record goes into slot 1), name and all, through a temporary one:
            // a power cut cannot leave its name without its content.
            archivos::EscribirSeguro(archivo, std::string(kRanuraFicha, '\0') + ranura, modo);
            nuevo.enDisco = true;
        }
    }
    const std::lock_guard lock(m_);
    enMemoria_[ClaveRuta(rutaKorvane)] = nuevo;
    cambios_.fetch_add(1, std::memory_order_release);
}

std::optional<FichaIntercambio> FichasIntercambio::EnMemoria(const std::string& rutaKorvane) const {
    const std::lock_guard lock(m_);
    const auto hallado = enMemoria_.find(ClaveRuta(rutaKorvane));
    if (hallado == enMemoria_.end()) return std::nullopt;
    return hallado->second.ficha;
}
