#pragma once
// The per-user application-settings store: string values addressed by application, section and
// key. On Windows the registry under
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
// with each key a REG_SZ value; on Linux one INI file per application,
//   ${XDG_CONFIG_HOME:-~/.config}/<application>.ini, "[section]" then "key=value" lines.
// Failures to write throw plataforma::ErrorSistema.

#include <string>

namespace ajustes {

// The stored value, or `porDefecto` when the key (or its section or application) is absent.
std::string LeerAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave,
                       const std::string& porDefecto);

// Stores the value, creating the application and section when missing.
void GrabarAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave,
                  const std::string& valor);

// Removes one key. Removing a key that does not exist throws, as it does on Windows.
void BorrarAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave);

// The running executable's file name without folder and extension ("Tramiza" for Tramiza.exe).
std::string NombreAplicacion();

// The last name of `ruta` ('\\' or '/' before it), without its extension: what both platforms make
// of the executable's path.
std::string SinCarpetaNiExtension(std::string ruta);

}  // namespace ajustes
