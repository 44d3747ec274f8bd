#include <windows.h>

#include "platform/reloj.h"

namespace reloj {

archivos::FechaHora Ahora() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace reloj
