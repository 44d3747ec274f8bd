#include "bridge/control_cliente.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "support/soporte.h"

#if !defined(_WIN32)
#include <unistd.h>

#include <cstdio>
#endif

namespace fs = std::filesystem;

namespace {

std::string Comillas(const std::string& texto) { return "\"" + texto + "\""; }

std::string Unir(const std::string& carpeta, const std::string& nombre) {
    return (fs::path(carpeta) / nombre).string();
}

// Waits for something another process does; the bound only keeps a broken test from hanging.
template <typename Condicion>
bool EsperarQue(Condicion condicion) {
    for (int i = 0; i < 1000; ++i) {
        if (condicion()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condicion();
}

bool Existe(const std::string& ruta) {
    std::error_code ec;
    return fs::exists(ruta, ec);
}

// A copy of the client simulator under a name of the test's choosing, in a folder of its own
// that also serves as its working folder. At the end it is told to stop and waited for: a running
// program cannot be removed on Windows, and a test must not leave clients running.
class CopiaCliente {
public:
    CopiaCliente(const std::string& carpeta, const std::string& nombre)
        : carpeta_(carpeta), exe_(Unir(carpeta, nombre)) {
        fs::create_directories(carpeta_);
        fs::copy_file(prueba::RutaZelno32(), exe_, fs::copy_options::overwrite_existing);
    }
    ~CopiaCliente() { Detener(); }
    CopiaCliente(const CopiaCliente&) = delete;
    CopiaCliente& operator=(const CopiaCliente&) = delete;

    // Stays up until told to stop, or ends by itself after 4 s.
    std::string LineaComando(const std::string& extra = {}, bool comillas = true) const {
        return (comillas ? Comillas(exe_) : exe_) + " --dir " + Comillas(carpeta_) + " --vida 4000 --fin " +
               Comillas(Fin()) + extra;
    }

    std::int32_t Iniciar(InterfazUsuario& ui, const std::string& extra = {}, bool comillas = true) {
        const std::int32_t r = API::EjecutarCliente(LineaComando(extra, comillas), ui);
        iniciado_ = r != 0 || Existe(Fin());
        return r;
    }

    void Detener() {
        if (!iniciado_) return;
        iniciado_ = false;
        prueba::EscribirArchivo(Unir(carpeta_, "_zelno_sim.stop"), "");
        EXPECT_TRUE(EsperarQue([&] { return Existe(Fin()); })) << "the client did not stop: " << exe_;
        std::error_code ec;
        EXPECT_TRUE(EsperarQue([&] { return fs::remove(exe_, ec) || !Existe(exe_); })) << "still running: " << exe_;
    }

    const std::string& Carpeta() const { return carpeta_; }

private:
    std::string Fin() const { return Unir(carpeta_, "fin.txt"); }

    std::string carpeta_;
    std::string exe_;
    bool iniciado_ = false;
};

TEST(ProcesoEnEjecucion, NombreVacioONingunProcesoConEseNombre) {
    EXPECT_FALSE(API::ProcesoEnEjecucion(""));
    EXPECT_FALSE(API::ProcesoEnEjecucion("tramiza-ningun-proceso-5c1e7a.exe"));
}

TEST(ProcesoEnEjecucion, EncuentraElFinalDelNombreSinMirarMayusculas) {
    prueba::CarpetaTemporal tmp;
    // One copy at a time, each stopped before the next starts, so each check sees only its own.
    {
        CopiaCliente copia(tmp / "a", "ZELNO32.EXE");
        prueba::GrabadorInterfaz ui;
        ASSERT_EQ(copia.Iniciar(ui), 258);
        EXPECT_TRUE(API::ProcesoEnEjecucion("Zelno32.exe"));
        EXPECT_TRUE(API::ProcesoEnEjecucion("zelno32.EXE"));
    }
    {
        CopiaCliente copia(tmp / "b", "zelno32.exe");
        prueba::GrabadorInterfaz ui;
        ASSERT_EQ(copia.Iniciar(ui), 258);
        EXPECT_TRUE(API::ProcesoEnEjecucion("Zelno32.exe"));
        // A sought name longer than the process's is no match (no other test runs one of this name).
        EXPECT_FALSE(API::ProcesoEnEjecucion("OtroZelno32.exe"));
    }
    {
        CopiaCliente copia(tmp / "c", "MiZelno32.exe");
        prueba::GrabadorInterfaz ui;
        ASSERT_EQ(copia.Iniciar(ui), 258);
        EXPECT_TRUE(API::ProcesoEnEjecucion("Zelno32.exe"));
        EXPECT_TRUE(API::ProcesoEnEjecucion("mizelno32.exe"));
        EXPECT_TRUE(ui.mensajes.empty());
    }
}

TEST(EjecutarCliente, ClienteQueSigueDa258YElQueTerminaDa0) {
    prueba::CarpetaTemporal tmp;
    prueba::GrabadorInterfaz ui;
    CopiaCliente primero(tmp / "uno", "Zelno32.exe");
    EXPECT_EQ(primero.Iniciar(ui), 258);
    // Starting again while one runs starts a second process: the caller is the one who checks.
    CopiaCliente segundo(tmp / "dos", "Zelno32.exe");
    EXPECT_EQ(segundo.Iniciar(ui), 258);

    EXPECT_EQ(API::EjecutarCliente(Comillas(prueba::RutaZelno32()) + " --salir", ui), 0);
    EXPECT_TRUE(ui.mensajes.empty());

    // The cycle's way: started now, looked at once its start-up wait is over.
    ControlClienteReal control;
    const auto sigue = control.IniciarCliente(Comillas(prueba::RutaZelno32()) + " --vida 1500", ui);
    const auto termina = control.IniciarCliente(Comillas(prueba::RutaZelno32()) + " --salir", ui);
    ASSERT_TRUE(sigue && termina);
    std::this_thread::sleep_for(std::chrono::milliseconds(API::kEsperaArranqueMs));
    EXPECT_EQ(sigue(), 258);
    for (int i = 0; i < 100 && (termina() != 0 || sigue() != 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(termina(), 0);
    EXPECT_EQ(sigue(), 0);
    EXPECT_FALSE(control.IniciarCliente("", ui));
    EXPECT_EQ(ui.mensajes.size(), 1u);
}

TEST(EjecutarCliente, LineaVaciaORutaErroneaMuestranUnSoloMensaje) {
    prueba::CarpetaTemporal tmp;
    const std::string lineas[] = {
        "",
        "   ",
        Comillas(tmp / "no-existe.exe"),
        Unir(tmp / "sin carpeta", "Zelno32.exe") + " --salir",
    };
    for (const std::string& linea : lineas) {
        SCOPED_TRACE("command line [" + linea + "]");
        prueba::GrabadorInterfaz ui;
        EXPECT_EQ(API::EjecutarCliente(linea, ui), 0);
        ASSERT_EQ(ui.mensajes.size(), 1u);
        EXPECT_EQ(ui.mensajes[0].texto, "1: No se puede cargar cliente Zelno32.exe");
        EXPECT_EQ(ui.mensajes[0].titulo, "Zelno Activo");
        EXPECT_EQ(ui.mensajes[0].icono, Icono::Critico);
    }
}

TEST(EjecutarCliente, LaLineaDeComandoLlegaEnteraAlCliente) {
    prueba::CarpetaTemporal tmp;
    CopiaCliente copia(tmp / "con espacios", "Zelno32.exe");
    const std::string eco = Unir(copia.Carpeta(), "eco.txt");
    prueba::GrabadorInterfaz ui;
    // Quotes group, backslashes count only before a quote, \" is a quote, \\" a backslash and a quote that closes.
    copia.Iniciar(ui, " --eco " + Comillas(eco) + " \"dos palabras\" x\\\"y a\\\\b \"c:\\dir\\\\\" fin");
    EXPECT_TRUE(ui.mensajes.empty());
    ASSERT_TRUE(EsperarQue([&] { return Existe(eco); }));

    const std::string esperado = "--dir\n" + copia.Carpeta() + "\n--vida\n4000\n--fin\n" +
                                 Unir(copia.Carpeta(), "fin.txt") + "\n--eco\n" + eco +
                                 "\ndos palabras\nx\"y\na\\\\b\nc:\\dir\\\nfin\n";
    EXPECT_EQ(prueba::LeerArchivo(eco), esperado);
}

// A program path with blanks and no quotes: the system would try the part before the first blank
// ("Mi", "Mi.exe": here files that are no programs) before the real one.
TEST(EjecutarCliente, RutaConBlancosSinComillasIniciaElProgramaQueExiste) {
    prueba::CarpetaTemporal tmp;
    prueba::EscribirArchivo(tmp / "Mi", "no es un programa");
    prueba::EscribirArchivo(tmp / "Mi.exe", "no es un programa");
    CopiaCliente copia(tmp / "Mi Zelno", "Zelno32.exe");
    const std::string eco = Unir(copia.Carpeta(), "eco.txt");
    prueba::GrabadorInterfaz ui;
    EXPECT_EQ(copia.Iniciar(ui, " --eco " + Comillas(eco) + "  uno \"dos tres\"", false), 258);
    EXPECT_TRUE(ui.mensajes.empty()) << ui.mensajes[0].texto;
    ASSERT_TRUE(EsperarQue([&] { return Existe(eco); }));
    EXPECT_EQ(prueba::LeerArchivo(eco), "--dir\n" + copia.Carpeta() + "\n--vida\n4000\n--fin\n" +
                                            Unir(copia.Carpeta(), "fin.txt") + "\n--eco\n" + eco + "\nuno\ndos tres\n");
}

#if !defined(_WIN32)
// Ended children of this process not yet collected.
int ZombisPropios() {
    int zombis = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), fin; !ec && it != fin; it.increment(ec)) {
        std::string stat;
        try {
            stat = prueba::LeerArchivo((it->path() / "stat").string());
        } catch (const std::exception&) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const std::size_t cierre = stat.rfind(')');
        if (cierre == std::string::npos) continue;
        char estado = 0;
        long padre = 0;
        if (std::sscanf(stat.c_str() + cierre + 1, " %c %ld", &estado, &padre) == 2 && estado == 'Z' &&
            padre == static_cast<long>(getpid()))
            ++zombis;
    }
    return zombis;
}

// Windows needs nothing of the kind; here a started child that ends later must be collected.
TEST(EjecutarCliente, ElClienteTerminadoNoQuedaZombi) {
    prueba::CarpetaTemporal tmp;
    {
        CopiaCliente copia(tmp / "z", "ZombiZelno32.exe");
        prueba::GrabadorInterfaz ui;
        ASSERT_EQ(copia.Iniciar(ui), 258);
    }
    // Each call collects the children that have ended since the last one.
    EXPECT_TRUE(EsperarQue([] {
        API::ProcesoEnEjecucion("zombizelno32.exe");
        return ZombisPropios() == 0;
    }));
}
#endif

}  // namespace
