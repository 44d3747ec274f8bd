#pragma once
// How each terminal's exchange record survives a stop (a killed process, a power cut): the outside
// programs' folders hold only their own files, so it lives in one small file per terminal in the
// program's own folder, held in memory between writes. Beside that folder, the answers that no
// terminal waited for any more are kept (NoEntregadas).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "bridge/etapas_intercambio.h"
#include "platform/archivos.h"
#include "platform/exclusion.h"

// A terminal's record file holds two slots of kRanuraFicha bytes. Each write goes into the slot that
// does not hold the record in force, numbered one past it and with a checksum, then is flushed: a
// stop or a power cut in the middle of it leaves the other slot, with the record before, whole. The
// file is written in place, never made anew: one opening, one write and one flush per record. The
// file of an older version (the record's text alone, from its first byte) counts as slot 0, number
// 0, until it is written over.
inline constexpr std::size_t kRanuraFicha = 256;

// The slot (kRanuraFicha bytes) that holds `ficha` as record number `numero`.
std::string RanuraFicha(std::uint64_t numero, const FichaIntercambio& ficha);

// What a record file's first bytes hold: the record in force, its number and its slot.
struct FichaLeida {
    FichaIntercambio ficha;
    std::uint64_t numero = 0;
    int ranura = 0;
    bool enDisco = false;  // the file exists (set by whoever read it)
};
FichaLeida LeerFicha(std::string_view contenido);

// The text of a record and back; an unreadable text gives the empty record.
std::string TextoFicha(const FichaIntercambio& ficha);
FichaIntercambio FichaDeTexto(std::string_view texto);

class FichasIntercambio {
public:
    // `carpeta` is created (with its parents) when the first record is written. Empty: records are
    // kept in memory only (a stop forgets them), for uses without a folder of their own.
    explicit FichasIntercambio(std::string carpeta);

    // A copy of the record of the terminal whose folder is `rutaKorvane`; read from its file the
    // first time.
    FichaIntercambio De(const std::string& rutaKorvane, archivos::AnteBloqueo modo);
    // Replaces the record, file first: when this returns, a stop keeps it.
    void Grabar(const std::string& rutaKorvane, const FichaIntercambio& ficha, archivos::AnteBloqueo modo);
    // The record as held in memory, without reading any file: none before it was first read.
    std::optional<FichaIntercambio> EnMemoria(const std::string& rutaKorvane) const;
    // Counts the records replaced: a look that finds the letter it saw last time, with no record
    // replaced since, finds the same stage.
    std::uint64_t Cambios() const { return cambios_.load(std::memory_order_acquire); }

private:
    std::string Archivo(const std::string& rutaKorvane) const;
    FichaLeida Cargar(const std::string& rutaKorvane, archivos::AnteBloqueo modo);

    std::string carpeta_;
    std::atomic<bool> carpetaLista_{false};
    // Terminals' steps may run side by side, each on its own terminal's record: the map is shared.
    mutable plataforma::Exclusion m_;
    // By ClaveRuta of the terminal folder; looked up for every terminal at every tick.
    std::unordered_map<std::string, FichaLeida> enMemoria_;
    std::atomic<std::uint64_t> cambios_{0};  // raised under m_, after the change
};

// The program's folder of exchange records (Intercambios in its local data folder); empty, so kept in
// memory only, when the platform cannot say where that is.
std::string CarpetaFichas();

// Beside the records' folder: where answers that could not be delivered are kept (NoEntregadas).
std::string CarpetaNoEntregadas(const std::string& carpetaFichas);
