// ventana_desnuda.exe: the floor of a start-up, for bench/medir-wine.sh to measure beside
// Tramiza.exe under Wine.
//
//   ventana_desnuda.exe
//
// Registers a window class ("VentanaDesnuda"), makes a small captioned window with one line of
// text, shows it and runs a message loop until the window is closed. Nothing else: no settings, no
// icon in the notification area, no threads.

#include <windows.h>

namespace {

LRESULT CALLBACK Procedimiento(HWND hwnd, UINT mensaje, WPARAM wParam, LPARAM lParam) {
    if (mensaje == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, mensaje, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instancia, HINSTANCE, LPSTR, int mostrar) {
    WNDCLASSA clase{};
    clase.lpfnWndProc = Procedimiento;
    clase.hInstance = instancia;
    clase.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    clase.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    clase.lpszClassName = "VentanaDesnuda";
    if (!RegisterClassA(&clase)) return 1;
    const HWND hwnd = CreateWindowA("VentanaDesnuda", "Ventana desnuda", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 360, 120, nullptr, nullptr, instancia, nullptr);
    if (!hwnd) return 1;
    CreateWindowA("STATIC", "Buscando...", WS_CHILD | WS_VISIBLE, 8, 8, 320, 20, hwnd, nullptr, instancia, nullptr);
    ShowWindow(hwnd, mostrar);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
