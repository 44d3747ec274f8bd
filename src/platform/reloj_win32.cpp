#include <windows.h>

#include "platform/reloj.h"

namespace reloj {

namespace {

archivos::FechaHora Fecha(const SYSTEMTIME& t) { return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}; }

}  // namespace

archivos::FechaHora Ahora() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return Fecha(t);
}

FechaHoraMs AhoraConMs() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {Fecha(t), t.wMilliseconds};
}

}  // namespace reloj
