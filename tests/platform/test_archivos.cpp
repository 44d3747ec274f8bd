#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/archivos.h"
#include "platform/cerrojo.h"
#include "platform/comodin.h"
#include "platform/error_sistema.h"
#include "platform/reloj.h"
#include "platform/vigilancia.h"
#include "support/soporte.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using archivos::Entrada;
using archivos::FechaHora;
using plataforma::ErrorSistema;
using prueba::CarpetaTemporal;
using prueba::EscribirArchivo;
using prueba::LeerArchivo;

// Root ignores permissions, and so does Wine when it runs as root, read-only attribute included.
bool IgnoraPermisos(const CarpetaTemporal& t) {
#ifdef _WIN32
    const std::string sonda = t / "sonda";
    prueba::EscribirArchivo(sonda, "");
    SetFileAttributesA(sonda.c_str(), FILE_ATTRIBUTE_READONLY);
    const HANDLE h = CreateFileA(sonda.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool ignora = h != INVALID_HANDLE_VALUE;
    if (ignora) CloseHandle(h);
    SetFileAttributesA(sonda.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(sonda.c_str());
    return ignora;
#else
    (void)t;
    return geteuid() == 0;
#endif
}

// Runs `accion`, which must fail with a platform error, and returns that error.
template <typename Accion>
ErrorSistema ErrorDe(Accion&& accion) {
    try {
        accion();
    } catch (const ErrorSistema& e) {
        return e;
    }
    ADD_FAILURE() << "no ErrorSistema was thrown";
    return ErrorSistema(0, "");
}

std::vector<std::string> Nombres(std::vector<Entrada> entradas) {
    std::vector<std::string> nombres;
    for (const auto& e : entradas) nombres.push_back(e.nombre);
    std::sort(nombres.begin(), nombres.end());
    return nombres;
}

const Entrada* Buscar(const std::vector<Entrada>& entradas, const std::string& nombre) {
    for (const auto& e : entradas)
        if (e.nombre == nombre) return &e;
    return nullptr;
}

std::string TodosLosBytes() {
    std::string datos;
    for (int vuelta = 0; vuelta < 3; ++vuelta)
        for (int b = 0; b < 256; ++b) datos += static_cast<char>(b);
    datos += std::string(5, '\0');
    return datos;
}

FechaHora Local(std::time_t t) {
    const std::tm* tm = std::localtime(&t);
    return {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
}

// ---------------------------------------------------------------------------------------------
// Wild cards

TEST(CoincideComodin, WindowsRulesForStarQuestionMarkCaseAndFinalDotStar) {
    struct Caso {
        const char* patron;
        const char* nombre;
        bool coincide;
    };
    const Caso casos[] = {
        {"TER*.*", "TER01", true},
        {"TER*.*", "TER05.OLD", true},
        {"TER*.*", "ter9", true},
        {"TER*.*", "TER", true},
        {"TER*.*", "TERMINALES", true},
        {"TER*.*", "XTER1", false},
        {"TER*.*", "TE", false},
        {"*.*", "sin_punto", true},
        {"*.*", "a.b.c", true},
        {"*.*", "", true},
        {"*", "CLICAB.ZLN", true},
        {"*.ZLN", "praxis.zln", true},
        {"*.ZLN", "PRAXIS.ZLNX", false},
        {"*.ZLN", "ZLN", false},
        {"?ER01", "TER01", true},
        {"?ER01", "ER01", false},
        {"TER??", "TER1", false},
        {"TER??", "TER123", false},
        {"T*R*1", "TxxRyyR1", true},
        {"T*R*1", "TxxRyy12", false},
        {"estado.rsp", "ESTADO.RSP", true},
        {"estado.rsp", "estado.rs", false},
        {"", "", true},
        {"", "a", false},
        {"a.*", "a", true},
        {"a.*", "ab", false},
        {"\xC9*", "\xC9TER", true},
    };
    for (const auto& c : casos)
        EXPECT_EQ(archivos::CoincideComodin(c.patron, c.nombre), c.coincide)
            << "pattern \"" << c.patron << "\" name \"" << c.nombre << "\"";
}

TEST(CoincideComodin, ManyStarsOnALongNameFinish) {
    // A backtracking matcher would need about 5000^10 steps here; the test would never end.
    const std::string nombre(5000, 'a');
    EXPECT_FALSE(archivos::CoincideComodin("*a*a*a*a*a*a*a*a*a*a*b", nombre));
    EXPECT_TRUE(archivos::CoincideComodin("*a*a*a*a*a*a*a*a*a*a*", nombre));
    EXPECT_TRUE(archivos::CoincideComodin("a*?*?*?*a", nombre));
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST(ArchivosEscritura, WriteAtStartKeepsTheTailOfALongerFile) {
    CarpetaTemporal t;
    const std::string status = t / "STATUS.ZLN";
    EscribirArchivo(status, std::string("C\0 resto\r\n", 10));
    archivos::EscribirAlInicio(status, "P");
    EXPECT_EQ(LeerArchivo(status), std::string("P\0 resto\r\n", 10));
    archivos::EscribirAlInicio(status, "SSS");
    EXPECT_EQ(LeerArchivo(status), std::string("SSSresto\r\n", 10));
    // A text longer than the file extends it.
    archivos::EscribirAlInicio(status, "0123456789AB");
    EXPECT_EQ(LeerArchivo(status), "0123456789AB");
}

TEST(ArchivosEscritura, WriteAtStartCreatesAMissingFileAndAnEmptyOne) {
    CarpetaTemporal t;
    archivos::EscribirAlInicio(t / "nuevo.txt", "S");
    EXPECT_EQ(LeerArchivo(t / "nuevo.txt"), "S");

    archivos::EscribirAlInicio(t / "vacio.txt", "");
    ASSERT_TRUE(fs::exists(t / "vacio.txt"));
    EXPECT_EQ(fs::file_size(t / "vacio.txt"), 0u);

    // An empty write over an existing file changes nothing.
    archivos::EscribirAlInicio(t / "nuevo.txt", "");
    EXPECT_EQ(LeerArchivo(t / "nuevo.txt"), "S");
}

TEST(ArchivosEscritura, OpenFileWritesEachTimeFromTheFirstByte) {
    CarpetaTemporal t;
    const std::string status = t / "STATUS.ZLN";
    EscribirArchivo(status, "C pendiente");
    {
        archivos::ArchivoBinario archivo(status);
        archivo.EscribirAlInicio("P");
        EXPECT_EQ(LeerArchivo(status), "P pendiente");
        archivo.EscribirAlInicio("SS");
        EXPECT_EQ(LeerArchivo(status), "SSpendiente");
    }
    EXPECT_EQ(LeerArchivo(status), "SSpendiente");

    // Opening alone creates a missing file; writing then fills it.
    {
        archivos::ArchivoBinario archivo(t / "nuevo.ZLN");
        EXPECT_TRUE(fs::exists(t / "nuevo.ZLN"));
        EXPECT_EQ(fs::file_size(t / "nuevo.ZLN"), 0u);
        archivo.EscribirAlInicio("S");
    }
    EXPECT_EQ(LeerArchivo(t / "nuevo.ZLN"), "S");

    EXPECT_NE(ErrorDe([&] { archivos::ArchivoBinario archivo(t.Ruta() + "\\no\\STATUS.ZLN"); }).Numero(), 0);
}

TEST(ArchivosEscritura, WholeWriteTruncatesAndAppendAppends) {
    CarpetaTemporal t;
    const std::string seresp = t / "SERESP.ZLN";
    EscribirArchivo(seresp, "una respuesta larga");
    archivos::EscribirCompleto(seresp, "corta");
    EXPECT_EQ(LeerArchivo(seresp), "corta");
    archivos::EscribirCompleto(seresp, "");
    EXPECT_EQ(LeerArchivo(seresp), "");
    archivos::EscribirCompleto(t / "creado.txt", "x");
    EXPECT_EQ(LeerArchivo(t / "creado.txt"), "x");

    const std::string log = t / "LogTramiza20240131.txt";
    archivos::Anexar(log, "linea 1\r\n");
    archivos::Anexar(log, "linea 2\r\n");
    archivos::Anexar(log, "");
    EXPECT_EQ(LeerArchivo(log), "linea 1\r\nlinea 2\r\n");
}

TEST(ArchivosEscritura, BinaryBytesRoundTripExactly) {
    CarpetaTemporal t;
    const std::string datos = TodosLosBytes();
    archivos::EscribirCompleto(t / "bin", datos);
    EXPECT_EQ(LeerArchivo(t / "bin"), datos);
    EXPECT_EQ(archivos::LeerCompleto(t / "bin"), datos);

    archivos::EscribirAlInicio(t / "bin2", datos);
    archivos::Anexar(t / "bin2", datos);
    EXPECT_EQ(archivos::LeerCompleto(t / "bin2"), datos + datos);
    // No text-mode translation of line ends or of the DOS end-of-file byte.
    archivos::EscribirCompleto(t / "crlf",
                               "a\nb\r\n\x1A"
                               "c");
    EXPECT_EQ(LeerArchivo(t / "crlf"),
              "a\nb\r\n\x1A"
              "c");
}

TEST(ArchivosEscritura, ReadOnlyFileRefusesWritesAndKeepsItsContent) {
    CarpetaTemporal t;
    if (IgnoraPermisos(t)) GTEST_SKIP() << "running as root, which ignores file permissions";
    const std::string status = t / "STATUS.ZLN";
    EscribirArchivo(status, "S");
    fs::permissions(status, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const ErrorSistema e = ErrorDe([&] { archivos::EscribirAlInicio(status, "P"); });
    EXPECT_NE(e.Numero(), 0);
    EXPECT_EQ(e.Ruta(), status);
    ErrorDe([&] { archivos::EscribirCompleto(status, "P"); });
    ErrorDe([&] { archivos::Anexar(status, "P"); });
    ErrorDe([&] { archivos::ArchivoBinario archivo(status); });
    EscribirArchivo(t / "otro", "otro contenido");
    ErrorDe([&] { archivos::Copiar(t / "otro", status); });
    EXPECT_EQ(LeerArchivo(status), "S");
}

// ---------------------------------------------------------------------------------------------
// Reading, size, time

TEST(ArchivosLectura, ReadsWholeFilesOfAnySize) {
    CarpetaTemporal t;
    EscribirArchivo(t / "vacio", "");
    EXPECT_EQ(archivos::LeerCompleto(t / "vacio"), "");
    EXPECT_EQ(archivos::Tamanio(t / "vacio"), 0);

    EscribirArchivo(t / "STATUS.ZLN", "  c");
    EXPECT_EQ(archivos::LeerCompleto(t / "STATUS.ZLN"), "  c");
    EXPECT_EQ(archivos::Tamanio(t / "STATUS.ZLN"), 3);

    std::string grande(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < grande.size(); ++i) grande[i] = static_cast<char>((i * 7919) >> 3);
    EscribirArchivo(t / "grande.bin", grande);
    EXPECT_EQ(archivos::Tamanio(t / "grande.bin"), static_cast<std::int64_t>(grande.size()));
    const std::string leido = archivos::LeerCompleto(t / "grande.bin");
    ASSERT_EQ(leido.size(), grande.size());
    EXPECT_TRUE(leido == grande);
}

TEST(ArchivosLectura, MissingFilesAndFoldersThrowWithNumberAndPath) {
    CarpetaTemporal t;
    const ErrorSistema e = ErrorDe([&] { archivos::LeerCompleto(t / "nada.txt"); });
    // ENOENT and ERROR_FILE_NOT_FOUND are both 2.
    EXPECT_EQ(e.Numero(), 2);
    // The description is the platform's own text; the path travels beside it.
    EXPECT_EQ(e.Descripcion(), plataforma::DescripcionError(2));
    EXPECT_EQ(e.Ruta(), t / "nada.txt");
    EXPECT_EQ(std::string(e.what()), "2: " + plataforma::DescripcionError(2) + " (" + (t / "nada.txt") + ")");

    EXPECT_NE(ErrorDe([&] { archivos::Tamanio(t / "nada.txt"); }).Numero(), 0);
    EXPECT_NE(ErrorDe([&] { archivos::FechaModificacion(t / "nada.txt"); }).Numero(), 0);
    EXPECT_NE(ErrorDe([&] { archivos::Atributos(t / "nada.txt"); }).Numero(), 0);
    EXPECT_NE(ErrorDe([&] { archivos::LeerCompleto(t / "no\\existe\\STATUS.ZLN"); }).Numero(), 0);
    // Writing never creates missing folders.
    EXPECT_NE(ErrorDe([&] { archivos::EscribirAlInicio(t / "no\\STATUS.ZLN", "P"); }).Numero(), 0);
    EXPECT_FALSE(fs::exists(t / "no"));

    fs::create_directory(t / "carpeta");
    EXPECT_NE(ErrorDe([&] { archivos::LeerCompleto(t / "carpeta"); }).Numero(), 0);
}

TEST(ArchivosLectura, ModificationTimeIsLocalToTheSecond) {
    CarpetaTemporal t;
    const std::string ruta = t / "PRAXIS.ZLN";
    EscribirArchivo(ruta, "x");
    const auto hace = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) -
                      std::chrono::hours(24 * 40) - std::chrono::seconds(17);
    fs::last_write_time(ruta, std::chrono::file_clock::from_sys(hace));
    EXPECT_EQ(archivos::FechaModificacion(ruta), Local(std::chrono::system_clock::to_time_t(hace)));
}

TEST(ArchivosLectura, NowIsTheLocalTimeToTheSecond) {
    // Read between two readings of the system clock: a second that turns over in between leaves it
    // equal to one of them.
    const auto segundos = [] { return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()); };
    const FechaHora antes = Local(segundos());
    const FechaHora ahora = reloj::Ahora();
    const FechaHora despues = Local(segundos());
    EXPECT_TRUE(ahora == antes || ahora == despues) << ahora.anio << "-" << ahora.mes << "-" << ahora.dia << " "
                                                    << ahora.hora << ":" << ahora.minuto << ":" << ahora.segundo;
}

// ---------------------------------------------------------------------------------------------
// Copy and delete

// The plain copy, and the copy flushed through the handle that wrote it: the same file either way.
using Copia = void (*)(const std::string&, const std::string&, archivos::AnteBloqueo);
const std::pair<const char*, Copia> kCopias[] = {{"Copiar", archivos::Copiar},
                                                 {"CopiarYSincronizar", archivos::CopiarYSincronizar}};

TEST(ArchivosCopia, CopyReplacesTheTargetAndKeepsTheModificationTime) {
    for (const auto& [nombre, copiar] : kCopias) {
        SCOPED_TRACE(nombre);
        CarpetaTemporal t;
        const std::string origen = t / "SERESP.ZLN";
        const std::string destino = t / "SERESPAnterior.ZLN";
        EscribirArchivo(origen, TodosLosBytes());
        EscribirArchivo(destino, std::string(4000, 'v'));
        const auto hace = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) -
                          std::chrono::hours(24 * 3) - std::chrono::minutes(5);
        fs::last_write_time(origen, std::chrono::file_clock::from_sys(hace));

        copiar(origen, destino, archivos::kEsperar);
        EXPECT_EQ(LeerArchivo(destino), TodosLosBytes());
        EXPECT_EQ(LeerArchivo(origen), TodosLosBytes());
        EXPECT_EQ(archivos::FechaModificacion(destino), archivos::FechaModificacion(origen));
        EXPECT_EQ(archivos::FechaModificacion(destino), Local(std::chrono::system_clock::to_time_t(hace)));

        copiar(origen, t / "nuevo.ZLN", archivos::kEsperar);
        EXPECT_EQ(LeerArchivo(t / "nuevo.ZLN"), TodosLosBytes());
        // Larger than one block of the copy, onto a longer target.
        const std::string grande(150 * 1024 + 7, 'g');
        EscribirArchivo(origen, grande);
        EscribirArchivo(destino, std::string(300 * 1024, 'v'));
        copiar(origen, destino, archivos::kEsperar);
        EXPECT_EQ(LeerArchivo(destino), grande);
    }
}

TEST(ArchivosCopia, CopyOntoItselfKeepsTheFile) {
    for (const auto& [nombre, copiar] : kCopias) {
        SCOPED_TRACE(nombre);
        CarpetaTemporal t;
        const std::string ruta = t / "PRAXIS.ZLN";
        EscribirArchivo(ruta, "contenido de la respuesta");
        // Windows refuses this copy; either way the file must survive whole.
        try {
            copiar(ruta, ruta, archivos::kEsperar);
        } catch (const ErrorSistema&) {
        }
        EXPECT_EQ(LeerArchivo(ruta), "contenido de la respuesta");
    }
}

TEST(ArchivosCopia, CopyOfAMissingFileFailsAndCreatesNothing) {
    for (const auto& [nombre, copiar] : kCopias) {
        SCOPED_TRACE(nombre);
        CarpetaTemporal t;
        EscribirArchivo(t / "destino", "intacto");
        EXPECT_NE(ErrorDe([&] { copiar(t / "nada", t / "destino", archivos::kEsperar); }).Numero(), 0);
        EXPECT_NE(ErrorDe([&] { copiar(t / "nada", t / "otro", archivos::kEsperar); }).Numero(), 0);
        EXPECT_EQ(LeerArchivo(t / "destino"), "intacto");
        EXPECT_FALSE(fs::exists(t / "otro"));
    }
}

// A flush by name after a quick peer took the file: no failure when this thread has just written
// that file whole; a failure for any other missing file. The flushes through the writing handle
// never look the file up again.
TEST(ArchivosCopia, AFlushAfterAPeerTookWhatWeJustWroteIsNoFailure) {
    CarpetaTemporal t;
    const std::string origen = t / "CLICAB.ZLN", uno = t / "uno", dos = t / "dos";
    EscribirArchivo(origen, "SOLICITUD");
    const auto tomar = [&](const std::string& ruta) { ASSERT_TRUE(fs::remove(ruta)); };
    const auto ausente = [&](const std::string& ruta) {
        const ErrorSistema e = ErrorDe([&] { archivos::Sincronizar(ruta); });
        EXPECT_TRUE(plataforma::EsAusente(e.Numero())) << e.Numero();
        EXPECT_EQ(e.Ruta(), ruta);
    };

    archivos::Copiar(origen, uno);
    tomar(uno);
    EXPECT_NO_THROW(archivos::Sincronizar(uno));
    // Once: the next flush of that name is a flush of a file that is not there.
    ausente(uno);

    archivos::EscribirCompleto(uno, "respuesta");
    tomar(uno);
    EXPECT_NO_THROW(archivos::Sincronizar(uno));

    // Only the file written last, with nothing in between.
    archivos::Copiar(origen, uno);
    archivos::Copiar(origen, dos);
    tomar(uno);
    ausente(uno);
    archivos::Copiar(origen, uno);
    EXPECT_TRUE(archivos::Existe(dos));
    tomar(uno);
    EXPECT_NO_THROW(archivos::Sincronizar(uno));
    ausente(t / "nunca");
    archivos::Copiar(origen, uno);
    archivos::Sincronizar(uno);
    tomar(uno);
    ausente(uno);

    // Through the handle that wrote it: the interceptor sees the write and the flush, in order.
    std::vector<std::string> vistas;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        vistas.push_back(std::string(operacion) + " " + fs::path(ruta).filename().string());
    });
    EscribirArchivo(dos, "una respuesta anterior, mas larga");
    archivos::EscribirCompletoYSincronizar(dos, "error");
    archivos::EscribirEntrega(uno, "entrega");
    archivos::InstalarInterceptor({});
    EXPECT_EQ(vistas, (std::vector<std::string>{"EscribirCompleto dos", "Sincronizar dos", "EscribirCompleto uno"}));
    EXPECT_EQ(LeerArchivo(dos), "error");
    EXPECT_EQ(LeerArchivo(uno), "entrega");
}

TEST(ArchivosCopia, DeleteRemovesFilesOnly) {
    CarpetaTemporal t;
    EscribirArchivo(t / "estado.rsp", "0");
    archivos::Borrar(t / "estado.rsp");
    EXPECT_FALSE(fs::exists(t / "estado.rsp"));
    EXPECT_EQ(ErrorDe([&] { archivos::Borrar(t / "estado.rsp"); }).Numero(), 2);

    fs::create_directory(t / "upload");
    EXPECT_NE(ErrorDe([&] { archivos::Borrar(t / "upload"); }).Numero(), 0);
    EXPECT_TRUE(fs::is_directory(t / "upload"));
}

// ---------------------------------------------------------------------------------------------
// Existence and attributes

// A watch reports every change below its folder with its path, in a folder made after it began too;
// the folder gone, it says so once and ends.
TEST(ArchivosVigilancia, ChangesBelowTheFolderAreReportedWithTheirPaths) {
    CarpetaTemporal t;
    const std::string raiz = t / "K";
    std::filesystem::create_directories(std::filesystem::path(t / "K") / "TER01");
    std::mutex m;
    std::condition_variable cv;
    std::set<std::string> vistos;
    std::vector<std::string> perdidas;
    vigilancia::Vigilante v(
        raiz,
        [&](const std::string& ruta) {
            const std::lock_guard lock(m);
            vistos.insert(ruta);
            cv.notify_all();
        },
        [&](const std::string& motivo) {
            const std::lock_guard lock(m);
            perdidas.push_back(motivo);
            cv.notify_all();
        });
    ASSERT_TRUE(v.Activo());
#ifdef _WIN32
    const std::string sep = "\\";
#else
    const std::string sep = "/";
#endif
    const auto Visto = [&](const std::string& ruta) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return vistos.count(ruta) != 0; });
    };
    EscribirArchivo(t / "K/TER01/STATUS.ZLN", "C");
    EXPECT_TRUE(Visto(raiz + sep + "TER01" + sep + "STATUS.ZLN"));
    std::filesystem::create_directory(std::filesystem::path(raiz) / "TER02");
    EXPECT_TRUE(Visto(raiz + sep + "TER02"));
    EscribirArchivo(t / "K/TER02/STATUS.ZLN", "C");
    EXPECT_TRUE(Visto(raiz + sep + "TER02" + sep + "STATUS.ZLN"));
    {
        const std::lock_guard lock(m);
        EXPECT_TRUE(perdidas.empty());
    }
}

TEST(ArchivosVigilancia, AFolderThatCannotBeWatchedSaysSoAtOnce) {
    CarpetaTemporal t;
    std::vector<std::string> perdidas;
    vigilancia::Vigilante v(
        t / "no-existe", [](const std::string&) {}, [&](const std::string& motivo) { perdidas.push_back(motivo); });
    EXPECT_FALSE(v.Activo());
    ASSERT_EQ(perdidas.size(), 1u);
    EXPECT_NE(perdidas[0].find(": "), std::string::npos) << perdidas[0];
}

TEST(ArchivosExistencia, OnlyOrdinaryFilesExist) {
    CarpetaTemporal t;
    EscribirArchivo(t / "CLICAB.ZLN", "req");
    fs::create_directory(t / "TER01");

    EXPECT_TRUE(archivos::Existe(t / "CLICAB.ZLN"));
    EXPECT_FALSE(archivos::Existe(t / "TER01"));
    EXPECT_FALSE(archivos::Existe(t / "nada.ZLN"));
    EXPECT_FALSE(archivos::Existe(t / "no\\existe\\CLICAB.ZLN"));
    EXPECT_FALSE(archivos::Existe(t / "CLICAB.*"));
    EXPECT_FALSE(archivos::Existe(t / "CLICAB.ZL?"));
    EXPECT_FALSE(archivos::Existe(""));

    EXPECT_TRUE(archivos::ExisteEntrada(t / "CLICAB.ZLN"));
    EXPECT_TRUE(archivos::ExisteEntrada(t / "TER01"));
    EXPECT_FALSE(archivos::ExisteEntrada(t / "nada.ZLN"));
    EXPECT_FALSE(archivos::ExisteEntrada(t / "TER*"));
    EXPECT_FALSE(archivos::ExisteEntrada(""));
}

TEST(ArchivosExistencia, AttributesOfFilesAndFolders) {
    CarpetaTemporal t;
    EscribirArchivo(t / "CLICAB.ZLN", "req");
    fs::create_directory(t / "TER01");

    const Entrada archivo = archivos::Atributos(t / "CLICAB.ZLN");
    EXPECT_EQ(archivo.nombre, "CLICAB.ZLN");
    EXPECT_FALSE(archivo.esCarpeta);
    EXPECT_FALSE(archivo.oculto);
    EXPECT_FALSE(archivo.sistema);
    EXPECT_FALSE(archivo.soloLectura);

    const Entrada carpeta = archivos::Atributos(t.Ruta() + "\\TER01\\");
    EXPECT_EQ(carpeta.nombre, "TER01");
    EXPECT_TRUE(carpeta.esCarpeta);

    fs::permissions(t / "CLICAB.ZLN", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(archivos::Atributos(t / "CLICAB.ZLN").soloLectura);
    // Read-only is still an ordinary file.
    EXPECT_TRUE(archivos::Existe(t / "CLICAB.ZLN"));
}

TEST(ArchivosExistencia, HiddenAndSystemFilesAreNotOrdinaryFiles) {
#ifdef _WIN32
    CarpetaTemporal t;
    EscribirArchivo(t / "oculto.ZLN", "h");
    EscribirArchivo(t / "sistema.ZLN", "s");
    ASSERT_TRUE(SetFileAttributesA((t / "oculto.ZLN").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA((t / "sistema.ZLN").c_str(), FILE_ATTRIBUTE_SYSTEM));

    EXPECT_FALSE(archivos::Existe(t / "oculto.ZLN"));
    EXPECT_FALSE(archivos::Existe(t / "sistema.ZLN"));
    EXPECT_TRUE(archivos::ExisteEntrada(t / "oculto.ZLN"));
    EXPECT_TRUE(archivos::ExisteEntrada(t / "sistema.ZLN"));
    EXPECT_EQ(archivos::LeerCompleto(t / "oculto.ZLN"), "h");

    const auto entradas = archivos::Listar(t / "*.ZLN");
    ASSERT_EQ(Nombres(entradas), (std::vector<std::string>{"oculto.ZLN", "sistema.ZLN"}));
    EXPECT_TRUE(Buscar(entradas, "oculto.ZLN")->oculto);
    EXPECT_FALSE(Buscar(entradas, "oculto.ZLN")->sistema);
    EXPECT_TRUE(Buscar(entradas, "sistema.ZLN")->sistema);
    EXPECT_FALSE(Buscar(entradas, "sistema.ZLN")->oculto);
#else
    CarpetaTemporal t;
    EscribirArchivo(t / ".STATUS.ZLN", "h");
    EXPECT_FALSE(archivos::Existe(t / ".STATUS.ZLN"));
    EXPECT_FALSE(archivos::Existe(t / ".status.zln"));
    EXPECT_TRUE(archivos::ExisteEntrada(t / ".STATUS.ZLN"));
    EXPECT_EQ(archivos::LeerCompleto(t / ".STATUS.ZLN"), "h");
    EXPECT_TRUE(archivos::Atributos(t / ".STATUS.ZLN").oculto);

    const auto entradas = archivos::Listar(t / "*");
    ASSERT_EQ(Nombres(entradas), (std::vector<std::string>{".STATUS.ZLN"}));
    EXPECT_TRUE(entradas[0].oculto);
    EXPECT_FALSE(entradas[0].sistema);
#endif
}

// ---------------------------------------------------------------------------------------------
// Letter case: the layout's names are found whatever case the disk and the caller use

TEST(ArchivosMayusculas, EveryComponentIsFoundRegardlessOfCase) {
    CarpetaTemporal t;
    fs::create_directories(fs::path(t / "term01") / "download");
    EscribirArchivo((fs::path(t / "term01") / "download" / "SERESP.ZLN").string(), "respuesta");
    const std::string ruta = t.Ruta() + "\\TERM01\\DownLoad\\seresp.zln";

    EXPECT_TRUE(archivos::Existe(ruta));
    EXPECT_TRUE(archivos::ExisteEntrada(t.Ruta() + "\\Term01\\DOWNLOAD"));
    EXPECT_EQ(archivos::LeerCompleto(ruta), "respuesta");
    EXPECT_EQ(archivos::Tamanio(ruta), 9);
    EXPECT_EQ(archivos::Atributos(ruta).nombre, "seresp.zln");
    EXPECT_EQ(Nombres(archivos::Listar(t.Ruta() + "\\TERM01\\DOWNLOAD\\*.zln")),
              (std::vector<std::string>{"SERESP.ZLN"}));

    archivos::Copiar(ruta, t.Ruta() + "\\Seresp.Zln");
    EXPECT_EQ(LeerArchivo(t / "Seresp.Zln"), "respuesta");
    archivos::Borrar(ruta);
    EXPECT_FALSE(fs::exists(fs::path(t / "term01") / "download" / "SERESP.ZLN"));
}

TEST(ArchivosMayusculas, WritesGoToTheExistingEntryWhateverItsCase) {
    CarpetaTemporal t;
    fs::create_directory(t / "Download");
    EscribirArchivo(t / "STATUS.ZLN", "C");

    // An existing file is written in place, not duplicated under another spelling.
    archivos::EscribirAlInicio(t / "status.zln", "P");
    archivos::Anexar(t / "Status.Zln", "+");
    EXPECT_EQ(LeerArchivo(t / "STATUS.ZLN"), "P+");

    // New files land in the folder that exists, under the name given.
    archivos::EscribirCompleto(t.Ruta() + "\\download\\_svl.0", "PROV0001");
    archivos::Copiar(t / "STATUS.ZLN", t.Ruta() + "\\DOWNLOAD\\STATUS.ZLN");
    archivos::CrearCarpeta(t.Ruta() + "\\DOWNLOAD\\sub");

    std::vector<std::string> enRaiz, enDownload;
    for (const auto& e : fs::directory_iterator(t.Ruta())) enRaiz.push_back(e.path().filename().string());
    for (const auto& e : fs::directory_iterator(t / "Download")) enDownload.push_back(e.path().filename().string());
    std::sort(enRaiz.begin(), enRaiz.end());
    std::sort(enDownload.begin(), enDownload.end());
    EXPECT_EQ(enRaiz, (std::vector<std::string>{"Download", "STATUS.ZLN"}));
    EXPECT_EQ(enDownload, (std::vector<std::string>{"STATUS.ZLN", "_svl.0", "sub"}));
    EXPECT_EQ(LeerArchivo((fs::path(t / "Download") / "_svl.0").string()), "PROV0001");

    // A folder that differs only in case already exists.
    EXPECT_NE(ErrorDe([&] { archivos::CrearCarpeta(t / "DOWNLOAD"); }).Numero(), 0);
}

// ---------------------------------------------------------------------------------------------
// Listing and folders

TEST(ArchivosListado, TerminalPatternTakesFoldersAndFilesWithTheirFlags) {
    CarpetaTemporal t;
    fs::create_directory(t / "TER01");
    fs::create_directory(t / "TER02");
    EscribirArchivo(t / "TER03.TXT", "no es terminal");
    fs::create_directory(t / "TERMINALES");
    fs::create_directory(t / "ter9");
    fs::create_directory(t / "XTER1");
    EscribirArchivo(t / "LogTramiza20240101.txt", "");

    const auto entradas = archivos::Listar(t / "TER*.*");
    ASSERT_EQ(Nombres(entradas), (std::vector<std::string>{"TER01", "TER02", "TER03.TXT", "TERMINALES", "ter9"}));
    for (const char* carpeta : {"TER01", "TER02", "TERMINALES", "ter9"}) {
        SCOPED_TRACE(carpeta);
        const Entrada* e = Buscar(entradas, carpeta);
        EXPECT_TRUE(e->esCarpeta);
        EXPECT_FALSE(e->oculto);
        EXPECT_FALSE(e->sistema);
    }
    EXPECT_FALSE(Buscar(entradas, "TER03.TXT")->esCarpeta);
    EXPECT_FALSE(Buscar(entradas, "TER03.TXT")->soloLectura);

    // The pattern's case does not matter; "." and ".." are never listed.
    EXPECT_EQ(Nombres(archivos::Listar(t / "ter0?")), (std::vector<std::string>{"TER01", "TER02"}));
    EXPECT_EQ(archivos::Listar(t / "*").size(), 7u);
    EXPECT_EQ(archivos::Listar(t / "*.*").size(), 7u);
}

TEST(ArchivosListado, NoMatchIsEmptyAndAMissingFolderThrows) {
    CarpetaTemporal t;
    fs::create_directory(t / "K");
    EXPECT_TRUE(archivos::Listar(t.Ruta() + "\\K\\TER*.*").empty());
    EXPECT_TRUE(archivos::Listar(t.Ruta() + "\\K\\*").empty());

    const ErrorSistema e = ErrorDe([&] { archivos::Listar(t.Ruta() + "\\NoHay\\TER*.*"); });
    EXPECT_NE(e.Numero(), 0);
    EXPECT_FALSE(e.Descripcion().empty());
#ifdef _WIN32
    EXPECT_EQ(e.Numero(), static_cast<long>(ERROR_PATH_NOT_FOUND));
#else
    EXPECT_EQ(e.Numero(), 2);  // ENOENT
#endif
}

TEST(ArchivosListado, FoldersAreCreatedOneLevelAtATime) {
    CarpetaTemporal t;
    archivos::CrearCarpeta(t / "term01");
    archivos::CrearCarpeta(t.Ruta() + "\\term01\\upload");
    EXPECT_TRUE(fs::is_directory(fs::path(t / "term01") / "upload"));

    EXPECT_NE(ErrorDe([&] { archivos::CrearCarpeta(t / "term01"); }).Numero(), 0);
    EXPECT_NE(ErrorDe([&] { archivos::CrearCarpeta(t.Ruta() + "\\falta\\upload"); }).Numero(), 0);
    EXPECT_FALSE(fs::exists(t / "falta"));
    EscribirArchivo(t / "tx", "");
    EXPECT_NE(ErrorDe([&] { archivos::CrearCarpeta(t / "tx"); }).Numero(), 0);
}

// ---------------------------------------------------------------------------------------------
// Lock files

TEST(Cerrojo, WhoHoldsItGoesInLinesThatAnyGarbageReadsBackSafely) {
    const cerrojo::Titular ana{"CAJA1", "ana", "1", "2040", "2026-12-07 09:30:05"};
    EXPECT_EQ(cerrojo::TextoTitular(ana),
              "Tramiza atiende esta carpeta\r\nEquipo: CAJA1\r\nUsuario: ana\r\nSesion: 1\r\nProceso: 2040\r\n"
              "Desde: 2026-12-07 09:30:05\r\n");
    EXPECT_EQ(cerrojo::LeerTitular(cerrojo::TextoTitular(ana)), ana);
    // LF line ends, blanks around, unknown and broken lines, control bytes, a last line without end.
    EXPECT_EQ(cerrojo::LeerTitular("Proceso:7\nOtra: x\nsin dos puntos\n  Usuario :  luis \t\r\nEquipo: PC\x01"
                                   "2\nSesion"),
              (cerrojo::Titular{"PC 2", "luis", "", "7", ""}));
    EXPECT_EQ(cerrojo::LeerTitular(TodosLosBytes()), cerrojo::Titular{});
    EXPECT_EQ(cerrojo::LeerTitular("Usuario: " + std::string(100000, 'x')).usuario, std::string(128, 'x'));
    // Only the first kMaximoTitular bytes count.
    EXPECT_EQ(cerrojo::LeerTitular(std::string(cerrojo::kMaximoTitular, '\n') + "Equipo: lejos"), cerrojo::Titular{});
}

TEST(Cerrojo, OneHolderAtATimeOthersReadWhoAndTheFileOutlivesIt) {
    CarpetaTemporal t;
    const std::string ruta = t / "Tramiza.lck";
    const cerrojo::Titular ana{"CAJA1", "ana", "1", "2040", "2026-12-07 09:30:05"};
    const cerrojo::Titular luis{"C2", "luis", "3", "9", ""};
    EXPECT_EQ(cerrojo::Consultar(ruta).estado, cerrojo::Estado::Libre);

    cerrojo::Cerrojo primero, segundo;
    EXPECT_EQ(primero.Tomar(ruta, ana).estado, cerrojo::Estado::Tomado);
    EXPECT_TRUE(primero.Tomado());
    const cerrojo::Intento visto = cerrojo::Consultar(ruta);
    EXPECT_EQ(visto.estado, cerrojo::Estado::Ocupado);
    EXPECT_EQ(visto.otro, ana);
    const cerrojo::Intento rechazo = segundo.Tomar(ruta, luis);
    EXPECT_EQ(rechazo.estado, cerrojo::Estado::Ocupado);
    EXPECT_EQ(rechazo.otro, ana);
    EXPECT_FALSE(segundo.Tomado());
    EXPECT_EQ(LeerArchivo(ruta), cerrojo::TextoTitular(ana));
#ifdef _WIN32
    // Held without delete or write sharing (Linux's lock is advisory only).
    EXPECT_FALSE(DeleteFileA(ruta.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
#endif

    primero.Soltar();
    EXPECT_EQ(cerrojo::Consultar(ruta).estado, cerrojo::Estado::Libre);
    EXPECT_EQ(LeerArchivo(ruta), cerrojo::TextoTitular(ana));
    // The next holder writes over the longer lines of the last one.
    EXPECT_EQ(segundo.Tomar(ruta, luis).estado, cerrojo::Estado::Tomado);
    EXPECT_EQ(LeerArchivo(ruta), cerrojo::TextoTitular(luis));
    EXPECT_EQ(cerrojo::Consultar(ruta).otro, luis);

    // No folder to make it in: a failure with its number, and nothing held.
    cerrojo::Cerrojo tercero;
    const std::string sinCarpeta = (fs::path(t.Ruta()) / "falta" / "Tramiza.lck").string();
    const cerrojo::Intento fallo = tercero.Tomar(sinCarpeta, ana);
    EXPECT_EQ(fallo.estado, cerrojo::Estado::Fallo);
    EXPECT_FALSE(fallo.error.empty());
    EXPECT_FALSE(tercero.Tomado());
    EXPECT_EQ(cerrojo::Consultar(sinCarpeta).estado, cerrojo::Estado::Libre);
}

}  // namespace
