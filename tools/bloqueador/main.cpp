// bloqueador.exe: holds a file open with no sharing for a while, as another program's lock does:
// meanwhile no other process can read, write, rename or remove it.
//
//   bloqueador.exe <file> <milliseconds>
//
// The file must exist. While it is held "<file>.bloqueado" exists: the marker is made once the
// file is open and removed before it is let go, so whoever sees the marker knows the file is held.
// Exit code 0 when the time was served, 1 when the file could not be opened or the marker could not
// be made or removed, 2 when the arguments are wrong.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A whole number of milliseconds: digits only, at most nine of them (about eleven days).
bool LeerMilisegundos(const char* texto, DWORD& ms) {
    const std::size_t n = std::strlen(texto);
    if (n == 0 || n > 9) return false;
    ms = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (texto[i] < '0' || texto[i] > '9') return false;
        ms = ms * 10 + static_cast<DWORD>(texto[i] - '0');
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    DWORD ms = 0;
    if (argc != 3 || argv[1][0] == '\0' || !LeerMilisegundos(argv[2], ms)) {
        std::fprintf(stderr, "uso: bloqueador <archivo> <milisegundos>\n");
        return 2;
    }
    const std::string archivo = argv[1];
    const std::string marca = archivo + ".bloqueado";

    const HANDLE h = CreateFileA(archivo.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "no se puede abrir %s: error %lu\n", archivo.c_str(), GetLastError());
        return 1;
    }
    const HANDLE m = CreateFileA(marca.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "no se puede crear %s: error %lu\n", marca.c_str(), GetLastError());
        CloseHandle(h);
        return 1;
    }
    CloseHandle(m);

    Sleep(ms);

    const bool marcaQuitada = DeleteFileA(marca.c_str()) != 0;
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (!marcaQuitada) {
        std::fprintf(stderr, "no se puede borrar %s: error %lu\n", marca.c_str(), error);
        return 1;
    }
    return 0;
}
