#include "support/almacen_aislado.h"

#include <cstdlib>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

namespace prueba {

std::string AlmacenAislado::OtraAplicacion() {
    static std::mt19937 azar{std::random_device{}()};
    aplicaciones_.push_back("TramizaPrueba" + std::to_string(azar() % 1000000000u));
    return aplicaciones_.back();
}

void AlmacenAislado::SetUp() {
    app_ = OtraAplicacion();
#ifndef _WIN32
    if (const char* previo = std::getenv("XDG_CONFIG_HOME")) xdgPrevio_ = previo;
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", carpeta_.Ruta().c_str(), 1), 0);
#endif
}

void AlmacenAislado::TearDown() {
#ifdef _WIN32
    for (const std::string& app : aplicaciones_)
        RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\VB and VBA Program Settings\\" + app).c_str());
#else
    if (xdgPrevio_)
        setenv("XDG_CONFIG_HOME", xdgPrevio_->c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
#endif
}

}  // namespace prueba
