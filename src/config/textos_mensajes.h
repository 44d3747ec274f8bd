#pragma once
// Every message box of the program: its title and the words of its text. The boxes take them from
// here only; what a text takes from the moment (a folder, a terminal, the system's description of a
// failure) fills its {...} in the order they appear. The staff guide has a row for each title and
// each text (scripts/comprobar-guia.sh compares the two, and fails on a box whose words are written
// anywhere else).

#include <initializer_list>
#include <string>
#include <string_view>

namespace mensajes {

// BEGIN mensajes
inline constexpr char kTituloTramiza[] = "Tramiza";
inline constexpr char kTituloPuntoControl[] = "Transacción punto control: ";
inline constexpr char kTituloZelnoActivo[] = "Zelno Activo";
inline constexpr char kTituloZelno32[] = "Zelno32";
inline constexpr char kTituloCargaTerminales[] = "Carga de terminales";
inline constexpr char kTituloError[] = "Error";
inline constexpr char kTituloRespuestaConError[] = "Respuesta de Zelno con Error";
inline constexpr char kTituloCarpetaInaccesible[] = "Carpeta inaccesible";
inline constexpr char kTituloRaizAtendida[] = "Carpeta de Korvane atendida por otro Tramiza";
inline constexpr char kTituloNoEntregada[] = "Respuesta no entregada";
inline constexpr char kTituloRetenida[] = "Venta sin respuesta";
inline constexpr char kTituloOtraSesion[] = "Tramiza ya está en marcha";
inline constexpr char kTituloLeerLastDirKorvane[] = "Leer Last Dir Korvane";
inline constexpr char kTituloGrabarLastDirKorvane[] = "Grabar Last Dir Korvane";
inline constexpr char kTituloLeerLastDirZelno[] = "Leer Last Dir Zelno";
inline constexpr char kTituloGrabarLastDirZelno[] = "Grabar Last Dir Zelno";
inline constexpr char kTituloLeerLastDirExeZelno[] = "Leer Last Dir Exe Zelno";
inline constexpr char kTituloGrabarLastDirExeZelno[] = "Grabar Last Dir Exe Zelno";

inline constexpr char kTextoNoSePuedeCargar[] = "No se puede cargar cliente Zelno32.exe";
inline constexpr char kTextoNoSeEncuentraZelno[] = "No se puede encontrar ZELNO32.exe";
inline constexpr char kTextoNombreIlegible[] =
    "La carpeta de terminal {carpeta} tiene en su nombre caracteres que este equipo no puede representar (aquí "
    "aparecen como \"?\"): esa terminal no se atiende. Cámbiele el nombre por uno con letras y cifras corrientes.";
inline constexpr char kTextoErrorComparar[] = "Se produjo un error al comparar archivos Korvane";
inline constexpr char kTextoErrorCopia[] = "Se produjo un error al hacer copia de archivos Zelno";
inline constexpr char kTextoErrorBuscar[] = "Se produjo un error al buscar archivos Zelno";
inline constexpr char kTextoErrorFormato[] = "Archivo: {archivo} Error: {error}";
inline constexpr char kTextoCarpetaInaccesible[] =
    "No se puede acceder a la carpeta {carpeta}\r\n{error}\r\nTramiza la atenderá de nuevo en cuanto vuelva a estar "
    "disponible.";
inline constexpr char kTextoRaizAtendida[] =
    "Otro Tramiza ya atiende la carpeta de Korvane {carpeta}{quien}. Este Tramiza no atiende las terminales mientras "
    "el otro siga; lo vuelve a intentar en cada ciclo.";
inline constexpr char kTextoNoEntregada[] =
    "La respuesta del cliente para la terminal {terminal} (estado.rsp {estado}) no se entregó: {motivo}. Sus "
    "archivos se guardaron en {carpeta}.\r\n\r\nLa venta puede estar cobrada. No la repita: llame antes al "
    "técnico para que compruebe la operación en el programa Zelno32 o con el banco.";
inline constexpr char kTextoRetenida[] =
    "El programa Zelno32 tiene la venta de la terminal {terminal} desde hace {minutos} minutos y aún no "
    "respondió. Tramiza sigue esperando su respuesta y no la envía otra vez.";
inline constexpr char kTextoMotivoAnterior[] = "quedó de un intercambio anterior";
inline constexpr char kTextoMotivoOtraSolicitud[] = "la terminal escribió otra solicitud antes de recibirla";
inline constexpr char kTextoMotivoTrasError[] = "llegó después de la respuesta de error";
inline constexpr char kTextoMotivoDejada[] = "la terminal dejó la solicitud";
inline constexpr char kTextoMotivoIncierta[] = "no se sabe si es de la solicitud en curso o de una anterior";
inline constexpr char kTextoOtraSesion[] =
    "Tramiza ya está en marcha en otra sesión de este equipo{quien}. Un solo Tramiza atiende las terminales de cada "
    "equipo: este se cierra.";
inline constexpr char kTextoCargarConfiguracion[] = "Error al cargar la configuración.\rConfiguracion.Load\r{error}";
inline constexpr char kTextoIntervalo[] = "El intervalo de búsqueda debe ser un número de segundos entre 0 y 32767.";
inline constexpr char kTextoIntervaloCero[] = "Con intervalo 0 Tramiza no atiende las terminales.";
inline constexpr char kTextoGrabarConfiguracion[] = "No se pudo grabar la configuración: {error}";
inline constexpr char kTextoSiguienteError[] = "Se produjo el siguiente error: {error}";
inline constexpr char kTextoSinInformacion[] = "System Information Is Unavailable At This Time";
inline constexpr char kTextoErrorDesconocido[] = "Error desconocido";
// END mensajes

// `plantilla` with each {...} replaced by the next of `valores`, in order.
inline std::string Rellenar(std::string_view plantilla, std::initializer_list<std::string_view> valores) {
    std::string texto;
    auto valor = valores.begin();
    for (std::size_t i = 0; i < plantilla.size(); ++i) {
        const std::size_t fin = plantilla[i] == '{' ? plantilla.find('}', i) : std::string_view::npos;
        if (fin == std::string_view::npos || valor == valores.end()) {
            texto += plantilla[i];
            continue;
        }
        texto += *valor++;
        i = fin;
    }
    return texto;
}

}  // namespace mensajes
