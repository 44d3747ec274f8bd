#pragma once
// Start-up, single instance and the end of the program.

#include <windows.h>

namespace modPrincipal {

// The program: hands over to a running copy in this session (or, when the copy that runs is in another
// session of the PC, says so and ends), or loads the settings, starts the exchange client when asked
// to, shows the main window and runs the message loop for as long as the window exists.
int Main(HINSTANCE instancia);

// Removes the notification-area icon and ends the process at once; nothing else runs.
[[noreturn]] void TerminarPrograma();

// Asks the running copy to show its main window: the same message as a double click on its icon, and
// brings it (or a box it shows) to the front. A copy still starting is waited for; `procesoPrimera`,
// when known, lets its box come forward before its window exists.
void ActivarInstanciaPrevia(DWORD procesoPrimera = 0);

}  // namespace modPrincipal
