// bucle_desnudo.exe: the floor of an idle polling tick, for bench/medir-wine.sh to measure beside
// Tramiza.exe under Wine.
//
//   bucle_desnudo.exe --dir K [--intervalo-ms MS] [--vueltas N]
//
// Lists the terminal folders K\TER* once, as the program does when it loads them, then every MS
// milliseconds (default 1000) makes for each terminal exactly the file calls that an idle terminal
// costs a tick: whether STATUS.ZLN exists (GetFileAttributesA), then its first bytes (CreateFileA,
// ReadFile up to 4096 bytes until the end of the file, CloseHandle). Nothing else: no window, no
// messages, no status text. Ends after N rounds (default: never) and prints how many it made.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kInicioStatus = 4096;

std::vector<std::string> Terminales(const std::string& raiz) {
    std::vector<std::string> r;
    WIN32_FIND_DATAA datos;
    HANDLE h = FindFirstFileA((raiz + "\\TER*.*").c_str(), &datos);
    if (h == INVALID_HANDLE_VALUE) return r;
    do {
        const std::string nombre = datos.cFileName;
        const bool carpeta = (datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool oculta = (datos.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        const bool term = nombre.size() >= 4 && _strnicmp(nombre.c_str(), "TERM", 4) == 0;
        if (carpeta && !oculta && !term) r.push_back(raiz + "\\" + nombre + "\\STATUS.ZLN");
    } while (FindNextFileA(h, &datos));
    FindClose(h);
    return r;
}

// What one idle terminal costs a tick; the first byte is returned so the work cannot be left out.
char Vuelta(const std::string& status) {
    const DWORD atributos = GetFileAttributesA(status.c_str());
    if (atributos == INVALID_FILE_ATTRIBUTES ||
        (atributos & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
        return 0;
    HANDLE h = CreateFileA(status.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    std::string datos(kInicioStatus, '\0');
    DWORD leidos = 0;
    while (leidos < kInicioStatus) {
        DWORD n = 0;
        if (!ReadFile(h, datos.data() + leidos, kInicioStatus - leidos, &n, nullptr) || n == 0) break;
        leidos += n;
    }
    CloseHandle(h);
    return leidos > 0 ? datos[0] : 0;
}

int Uso() {
    std::fprintf(stderr, "uso: bucle_desnudo --dir CARPETA [--intervalo-ms MS] [--vueltas N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir;
    long intervaloMs = 1000;
    long vueltas = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--dir") {
            dir = argv[i + 1];
        } else if (a == "--intervalo-ms") {
            intervaloMs = std::strtol(argv[i + 1], nullptr, 10);
        } else if (a == "--vueltas") {
            vueltas = std::strtol(argv[i + 1], nullptr, 10);
        } else {
            return Uso();
        }
    }
    if (dir.empty() || intervaloMs < 0) return Uso();

    const std::vector<std::string> status = Terminales(dir);
    unsigned suma = 0;
    long hechas = 0;
    // On a fixed schedule, as a periodic timer: a late round does not push the next ones back.
    ULONGLONG siguiente = GetTickCount64();
    for (; vueltas < 0 || hechas < vueltas; ++hechas) {
        for (const std::string& s : status) suma += static_cast<unsigned char>(Vuelta(s));
        siguiente += static_cast<ULONGLONG>(intervaloMs);
        const ULONGLONG ahora = GetTickCount64();
        if (siguiente > ahora) Sleep(static_cast<DWORD>(siguiente - ahora));
    }
    std::printf("%ld vueltas sobre %zu terminales (%u)\n", hechas, status.size(), suma);
    return 0;
}
