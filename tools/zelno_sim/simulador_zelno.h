#pragma once
// A stand-in for the exchange client Zelno32.exe: it takes the requests the system puts into
// Z\term..\upload and answers them in Z\term..\download and Z\term..\estado.rsp, in the way the
// control file Z\_zelno_sim.cfg asks for each terminal. Time comes from the caller, so tests can
// drive it with a clock of their own.
//
// Control file: one line per rule, `<terminal folder or *> <behaviour> [arguments]`, the first
// line whose terminal matches (letter case ignored) wins; blank lines and lines starting with #
// are skipped, and so is a line with an unknown behaviour or a bad number. No file, or no rule:
// normal. Behaviours:
//   normal [demora_ms]    SERESP.ZLN, PRAXIS.ZLN, TIQUET.PRN, then estado.rsp "0", after demora
//   falla <texto>         estado.rsp holds the rest of the line (\r \n \t \\ \xHH decoded), nothing else
//   sin-seresp            as normal but no SERESP.ZLN
//   seresp-vacio          as normal but SERESP.ZLN of 0 bytes
//   seresp-tarde [ms]     as seresp-vacio; SERESP.ZLN gets its content ms (default 3500) after estado.rsp
//   sin-respuesta         the request is taken and never answered
//   azar                  one of normal, falla, sin-seresp, seresp-vacio, seresp-tarde 3500, drawn
//                         from the seed
// Every request taken adds a line to Z\_zelno_sim.log: terminal, behaviour, provider code and
// the first line of CLICAB.ZLN, separated by tabs.

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace sim {

struct RegistroPedido {          // one request the client took
    std::string terminal;        // folder name under Z, e.g. "term01"
    std::string comportamiento;  // behaviour applied, e.g. "normal", "falla"
    std::string proveedor;       // contents of upload\_svl.0
    std::string clicab;          // contents of upload\CLICAB.ZLN ("" when absent)
    std::string praxis;          // contents of upload\PRAXIS.ZLN ("" when absent)
    bool conPraxis = false;
};

class SimuladorZelno {
public:
    explicit SimuladorZelno(std::string dirZelno, unsigned semilla = 1);
    // One pass at time ahoraMs (any monotonic origin, ms): takes every complete new request
    // (upload\_svl.0 present) of every Z\term* folder, removes the upload files and the TX marker
    // Z\tx\<terminal> if present, and writes every answer that is due at ahoraMs.
    void Paso(std::int64_t ahoraMs);
    const std::vector<RegistroPedido>& Registros() const { return registros_; }
    // An answer or a late fill is still due.
    bool Pendiente() const { return !entregas_.empty(); }

private:
    enum class Clase { Normal, Falla, SinSeresp, SerespVacio, SerespTarde, SinRespuesta, Azar };
    struct Comportamiento {
        Clase clase = Clase::Normal;
        std::int64_t ms = 0;  // demora of normal, delay of the late fill of seresp-tarde
        std::string texto;    // estado.rsp of falla
    };
    struct Entrega {
        std::int64_t vence = 0;
        std::uint64_t orden = 0;  // keeps entregas due at the same time in the order they were made
        bool relleno = false;     // the late SERESP.ZLN of seresp-tarde
        std::filesystem::path dirTerminal;
        Comportamiento comportamiento;
        std::size_t registro = 0;
    };

    void TomarPedido(const std::filesystem::path& dirTerminal, std::int64_t ahoraMs);
    Comportamiento LeerComportamiento(const std::string& terminal) const;
    Comportamiento Sortear();
    void Entregar(const Entrega& entrega, std::int64_t ahoraMs);

    std::filesystem::path dir_;
    std::mt19937 azar_;
    std::vector<RegistroPedido> registros_;
    std::vector<Entrega> entregas_;
    std::uint64_t siguienteOrden_ = 0;
};

// The answer files a "normal" client writes for a request, so tests can compare byte for byte.
std::string RespuestaSeresp(const RegistroPedido&);
std::string RespuestaPraxis(const RegistroPedido&);
std::string RespuestaTiquet(const RegistroPedido&);

// The first line of a request header, up to its first line end; it names the request in the log.
std::string PrimeraLinea(const std::string& texto);

}  // namespace sim
