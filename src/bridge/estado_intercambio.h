#pragma once
// What the bridge remembers of each terminal's exchange between ticks and across a stop (a killed
// process, a power cut): the decisions of a hand-off in progress, how the last answer was made, and
// whether the answer kept for duplicates is the one the terminal got. The outside programs' folders
// hold only their own files; this lives in one small file per terminal in the program's own folder,
// replaced in one step, and is held in memory between writes.

#include <map>
#include <string>

struct EstadoIntercambio {
    enum class Etapa {
        Ninguna,     // no exchange of ours in progress
        Decidida,    // the hand-off has decided; its copies, "P" and the upload may be part done
        Respondida,  // the answer is in the terminal folder and "S" may be written; cleanup pending
    };
    enum class Resultado { Cliente, ErrorFormato, ErrorComunicacion };

    Etapa etapa = Etapa::Ninguna;
    // Of the hand-off in progress.
    bool duplicado = false;
    bool conArchivos = false;  // the request had CLICAB.ZLN or PRAXIS.ZLN
    std::string proveedor;
    // Of the last answer.
    Resultado resultado = Resultado::Cliente;
    // The copies in download (SERESPAnterior.ZLN, PRAXISAnterior.ZLN) are the client's answer that
    // the terminal got for its previous request: only then may a duplicate be answered from them.
    bool respuestaGuardada = false;

    friend bool operator==(const EstadoIntercambio&, const EstadoIntercambio&) = default;
};

class RegistroIntercambios {
public:
    // `carpeta` is created (one level) when the first record is written. Empty: records are kept in
    // memory only (a stop forgets them), for uses without a folder of their own.
    explicit RegistroIntercambios(std::string carpeta);

    // The record of the terminal whose folder is `rutaKorvane`; read from its file the first time.
    const EstadoIntercambio& De(const std::string& rutaKorvane);
    // Replaces the record, file first: when this returns, a stop keeps it.
    void Grabar(const std::string& rutaKorvane, const EstadoIntercambio& estado);

private:
    std::string Archivo(const std::string& rutaKorvane) const;

    std::string carpeta_;
    bool carpetaLista_ = false;
    std::map<std::string, EstadoIntercambio> enMemoria_;
};

// The program's folder of exchange records (Intercambios in its local data folder); empty, so kept in
// memory only, when the platform cannot say where that is.
std::string CarpetaRegistroIntercambios();

// The text of a record and back; an unreadable text gives the empty record.
std::string TextoEstado(const EstadoIntercambio& estado);
EstadoIntercambio EstadoDeTexto(std::string_view texto);
