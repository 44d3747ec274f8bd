#pragma once
// A stand-in for one terminal of the point-of-sale system: it writes a request into its folder
// under the Korvane root the way the system expects (CLICAB.ZLN, PRAXIS.ZLN, then "C" in
// STATUS.ZLN) and reads the answer once STATUS.ZLN says "S".

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

struct Solicitud {
    std::string id;            // first line of CLICAB.ZLN; names the request in answers and logs
    int longitud = 336;        // size of CLICAB.ZLN in bytes
    std::string empresa;       // company code, padded with blanks to 6
    bool conPraxis = true;     // also write PRAXIS.ZLN
    bool sinArchivos = false;  // neither CLICAB.ZLN nor PRAXIS.ZLN: STATUS.ZLN alone
    // Last-write time given to CLICAB.ZLN and PRAXIS.ZLN, in seconds since 1970-01-01 UTC, so that
    // requests fall in chosen minutes; unset, the time they were written.
    std::optional<std::int64_t> modificacionUtc = std::nullopt;
};

struct Respuesta {
    bool lista = false;
    bool haySeresp = false, hayPraxis = false, hayTiquet = false;
    std::string seresp, praxis, tiquet, status;
};

class TerminalKorvane {
public:
    explicit TerminalKorvane(std::string carpeta);  // K\TERxx, created if missing
    // Writes CLICAB.ZLN (ContenidoClicab), then PRAXIS.ZLN ("PRAXIS " + id + "\r\n") when
    // conPraxis (otherwise removes one left in the folder), gives both modificacionUtc when set,
    // then replaces STATUS.ZLN by "C". With sinArchivos it removes both and writes only STATUS.ZLN.
    // A request sent while an earlier one waits replaces it. Throws std::runtime_error when a
    // file cannot be written or given its time.
    void EnviarSolicitud(const Solicitud&);
    // The two halves of EnviarSolicitud, for a till that writes its files some time before its "C"
    // (a slow till, or one whose cashier gives up on a waiting sale and starts the next).
    void EscribirArchivos(const Solicitud&);
    void MarcarPedido();
    bool RespuestaLista() const;      // STATUS.ZLN's first non-blank character is S or s
    Respuesta LeerRespuesta() const;  // contents of SERESP.ZLN, PRAXIS.ZLN, TIQUET.PRN, STATUS.ZLN
    const std::string& Carpeta() const { return carpeta_; }

private:
    std::string carpeta_;
};

// The exact bytes EnviarSolicitud writes as CLICAB.ZLN: `longitud` bytes; the first line is id +
// "\r\n" (cut when longitud is short), then printable filler; `empresa`, padded with blanks or cut
// to 6, at bytes 183-188 when 226 <= longitud <= 335 and at 193-198 when longitud >= 336 (1-based),
// nowhere when longitud <= 225. The code is written over the first line if the two meet.
std::string ContenidoClicab(const Solicitud&);

}  // namespace sim
