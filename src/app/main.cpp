// Tramiza.exe: a windowed program without command-line arguments.
#include <windows.h>

#include "app/mod_principal.h"

int WINAPI WinMain(HINSTANCE instancia, HINSTANCE, LPSTR, int) { return modPrincipal::Main(instancia); }
