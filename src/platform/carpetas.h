#pragma once
// Where the program keeps files of its own: the user's local application data, never the folders
// that the two outside programs see.

#include <string>

namespace carpetas {

// %LOCALAPPDATA%\Tramiza on Windows, ${XDG_STATE_HOME:-~/.local/state}/tramiza elsewhere. Not created
// here. Throws when the platform cannot say where it is.
std::string DatosPrograma();

}  // namespace carpetas
