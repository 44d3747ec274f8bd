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
//   falla-con-archivos <texto>  as falla, but the three files of normal are left in download first
//   sin-seresp            as normal but no SERESP.ZLN
//   sin-praxis            as normal but no PRAXIS.ZLN
//   sin-tiquet            as normal but no TIQUET.PRN
//   seresp-vacio          as normal but SERESP.ZLN of 0 bytes
//   seresp-tarde [ms]     as seresp-vacio; SERESP.ZLN gets its content ms (default 3500) after estado.rsp
//   seresp-muy-tarde [ms] as seresp-tarde, default 8000: a content meant to come after the system answered
//   estado-primero [ms]   estado.rsp "0" at once, the three files of normal ms (default 1500) later
//   tarde [ms]            as normal 90000 (or ms): an answer after the system has given up
//   banco-lento [ms]      as normal 180000 (or ms): a bank slower than a till's patience and the
//                         system's minute of waiting for the next request together
//   sin-respuesta         the request is taken and never answered
//   toma-lenta            _svl.0 goes when taken; CLICAB.ZLN, PRAXIS.ZLN and the TX marker only in
//                         the next pass, which then answers as normal
//   toma-pronto           an eager client: takes CLICAB.ZLN (or PRAXIS.ZLN) as soon as it is there,
//                         with _svl.0 if written, and answers as normal once it has the provider; a
//                         _svl.0 that comes later names the provider of what it took (no new request);
//                         without one for 5 s it answers with none
//   azar                  one of normal, falla, sin-seresp, seresp-vacio, seresp-tarde 3500, drawn
//                         from the seed
//   descortes             drawn from the seed, in 40ths: normal 10, falla 4, sin-seresp 3,
//                         seresp-vacio 3, seresp-tarde 3500 3, sin-praxis 3, sin-tiquet 3,
//                         estado-primero 1500 3, falla-con-archivos 3, seresp-muy-tarde 8000 2,
//                         toma-lenta 2, tarde 90000 1
// A terminal is served one request at a time. With Modelo::terminaLoTomado, as a real client does,
// a request still in upload waits until everything due of the one taken before (a late answer, a
// late fill, the rest of a slow or eager take) is written; without it, taking a new one drops what
// is still due of an older one of that terminal (its record says so).
// A request is named by the first line of its CLICAB.ZLN, else of its PRAXIS.ZLN, else by "#"
// and its serial number among the requests taken (from 1); its answers carry that name.
// Every request taken adds a line to Z\_zelno_sim.log: terminal, behaviour, provider code and
// the first line of CLICAB.ZLN, separated by tabs.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim {

struct PedidoTomado {            // one request the client took
    std::string terminal;        // folder name under Z, e.g. "term01"
    std::string comportamiento;  // behaviour applied, e.g. "normal", "falla"
    std::string proveedor;       // contents of upload\_svl.0 ("" while toma-pronto has not seen it)
    std::string clicab;          // contents of upload\CLICAB.ZLN ("" when absent)
    std::string praxis;          // contents of upload\PRAXIS.ZLN ("" when absent)
    bool conPraxis = false;
    std::string id{};           // the request's name in its answers (see above)
    std::int64_t tomadoMs = 0;  // when it was taken
    // What the client has written for it so far, so an answer found later can be traced to it.
    std::string estado{};         // contents written into estado.rsp
    std::int64_t estadoMs = -1;   // when estado.rsp was written; -1 while it has not been
    bool escribioSeresp = false;  // SERESP.ZLN written, of any size
    bool serespLleno = false;     // SERESP.ZLN holds RespuestaSeresp (at once or by a late fill)
    bool escribioPraxis = false;
    bool escribioTiquet = false;
    std::int64_t archivosMs = -1;  // when a download file was last written; -1 before any
    // A newer request of the same terminal was taken before this one's answer was wholly written:
    // the client, like the real one, serves a terminal one request at a time, and drops the rest.
    bool reemplazada = false;
    // Its estado.rsp was still there, untaken, when the client began the answer of a later request
    // of the same terminal into the same names: the client itself wrote over it.
    bool pisada = false;
};

// How closely the client follows a real one; each switch is off by default, so that runs written
// before it keep their draws and their outcome.
struct Modelo {
    // Finishes what it took before it takes the next request of that terminal (see above).
    bool terminaLoTomado = false;
    // In thousandths: how often a behaviour drawn by azar or descortes becomes banco-lento. Drawn
    // from a generator of its own, so the other draws stay as they were.
    unsigned bancoLentoPorMil = 0;
};

class SimuladorZelno {
public:
    explicit SimuladorZelno(std::string dirZelno, unsigned semilla = 1, Modelo modelo = {});
    // One pass at time ahoraMs (any monotonic origin, ms): finishes the takes toma-lenta left
    // half done, takes every complete new request (upload\_svl.0 written; for toma-pronto, upload
    // files present) of every Z\term* folder, removes the upload files and the TX marker
    // Z\tx\<terminal> if present, and writes every answer that is due at ahoraMs.
    void Paso(std::int64_t ahoraMs);
    const std::vector<PedidoTomado>& Pedidos() const { return pedidos_; }
    // An answer, a late write or the rest of a slow take is still due.
    bool Pendiente() const { return !entregas_.empty() || !tomasLentas_.empty() || !esperandoSvl_.empty(); }
    // How long an eager take waits for its _svl.0 before it is answered without a provider.
    static constexpr std::int64_t kEsperaProveedorMs = 5000;
    static constexpr std::int64_t kBancoLentoMs = 180000;

private:
    // What is written in download and estado.rsp.
    enum class Clase {
        Normal,
        Falla,
        FallaConArchivos,
        SinSeresp,
        SinPraxis,
        SinTiquet,
        SerespVacio,
        SerespTarde,
        EstadoPrimero,
        SinRespuesta,
        Azar,
        Descortes
    };
    // How the upload files are taken.
    enum class Toma { Normal, Lenta, Pronta };
    struct Comportamiento {
        std::string nombre = "normal";  // as recorded
        Clase clase = Clase::Normal;
        Toma toma = Toma::Normal;
        std::int64_t ms = 0;  // demora of normal, delay of the late fill or of the files
        std::string texto;    // estado.rsp of falla
    };
    enum class Parte {
        Respuesta,
        RellenoSeresp,  // the late SERESP.ZLN of seresp-tarde
        Archivos        // the late files of estado-primero
    };
    struct Entrega {
        std::int64_t vence = 0;
        std::uint64_t orden = 0;  // keeps entregas due at the same time in the order they were made
        Parte parte = Parte::Respuesta;
        std::filesystem::path dirTerminal;
        Comportamiento comportamiento;
        std::size_t pedido = 0;
    };

    void TerminarTomasLentas(std::int64_t ahoraMs);
    void TomarPedido(const std::filesystem::path& dirTerminal, std::int64_t ahoraMs);
    // The rule for a terminal; the control file is read once a pass, when first needed.
    Comportamiento LeerComportamiento(const std::string& terminal);
    Comportamiento Sortear();
    Comportamiento SortearDescortes();
    void Programar(Entrega entrega, Parte parte, std::int64_t vence);
    void Entregar(const Entrega& entrega, std::int64_t ahoraMs);
    void RemoverMarcaTx(const std::string& terminal);
    // Something of a request taken at this terminal folder is still to be written.
    bool Ocupada(const std::filesystem::path& dirTerminal) const;

    std::filesystem::path dir_;
    std::mt19937 azar_;
    Modelo modelo_;
    std::mt19937 azarLento_;
    std::vector<PedidoTomado> pedidos_;
    std::vector<Entrega> entregas_;
    std::vector<Entrega> tomasLentas_;  // their answers, once the next pass has removed the rest
    // Terminal folder -> the request toma-pronto took there before its _svl.0 was written.
    std::map<std::filesystem::path, std::size_t> sinSvl_;
    // By terminal folder: the request whose estado.rsp the client wrote last.
    std::map<std::filesystem::path, std::size_t> ultimoEstado_;
    // Its answer, made once that _svl.0 names the provider.
    std::map<std::filesystem::path, Entrega> esperandoSvl_;
    std::optional<std::string> reglas_;  // the control file in this pass ("" when there is none)
    std::uint64_t siguienteOrden_ = 0;
};

// The answer files a "normal" client writes for a request, so tests can compare byte for byte.
std::string RespuestaSeresp(const PedidoTomado&);
std::string RespuestaPraxis(const PedidoTomado&);
std::string RespuestaTiquet(const PedidoTomado&);

// The first line of a request header, up to its first line end; it names the request in the log.
std::string PrimeraLinea(const std::string& texto);

}  // namespace sim
