#pragma once
// What the fuzz targets share: a check that aborts, so that libFuzzer reports the input that broke
// it; a recorder for the messages the settings code would show; and a private settings folder whose
// one file the target rewrites with each input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "config/interfaz_usuario.h"

// Aborts with the condition and its place when it does not hold; NDEBUG does not switch it off.
#define COMPROBAR(condicion)                                                                   \
    do {                                                                                       \
        if (!(condicion)) {                                                                    \
            std::fprintf(stderr, "%s:%d: no se cumple: %s\n", __FILE__, __LINE__, #condicion); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

// The fuzzed bytes as text.
inline std::string Texto(const std::uint8_t* datos, std::size_t largo) {
    return std::string(reinterpret_cast<const char*>(datos), largo);
}

// Keeps every message instead of showing it.
class GrabadorMensajes : public InterfazUsuario {
public:
    void EstablecerEstado(const std::string&) override {}
    void ProcesarMensajes() override {}
    void Mostrar(const std::string& texto, const std::string& titulo, Icono) override {
        mensajes.push_back(titulo + ": " + texto);
    }
    std::vector<std::string> mensajes;
};

inline std::filesystem::path& CarpetaAjustes() {
    static std::filesystem::path carpeta;
    return carpeta;
}

// Points the settings store of this process at a new private folder (in memory when /dev/shm is
// there: every write of the store ends in fsync), removed when the fuzzer exits. Call it once, from
// LLVMFuzzerInitialize.
inline void PrepararAlmacenAjustes() {
    std::error_code error;
    std::string base = std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : "";
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string plantilla = base + "/tramiza-fuzz-XXXXXX";
    if (!mkdtemp(plantilla.data())) {
        std::perror(plantilla.c_str());
        std::abort();
    }
    CarpetaAjustes() = plantilla;
    setenv("XDG_CONFIG_HOME", plantilla.c_str(), 1);
    std::atexit([] {
        std::error_code e;
        std::filesystem::remove_all(CarpetaAjustes(), e);
    });
}

// Makes the fuzzed bytes the whole settings file of `aplicacion`.
inline void EscribirArchivoAjustes(const std::string& aplicacion, const std::uint8_t* datos, std::size_t largo) {
    const std::string ruta = (CarpetaAjustes() / (aplicacion + ".ini")).string();
    std::FILE* f = std::fopen(ruta.c_str(), "wb");
    if (!f || (largo > 0 && std::fwrite(datos, 1, largo, f) != largo) || std::fclose(f) != 0) {
        std::perror(ruta.c_str());
        std::abort();
    }
}

}  // namespace fuzz
