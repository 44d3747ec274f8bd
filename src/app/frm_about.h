#pragma once
// The about box: title, version and the texts of the version resource, and a button that starts the
// system-information tool.

#include <windows.h>

#include <string>

namespace frmAbout {

// Shows the box modally over `propietario` and returns when it closes.
void Mostrar(HINSTANCE instancia, HWND propietario);

}  // namespace frmAbout

// Starts the system-information tool named by the registry, or says it is unavailable.
void StartSysInfo(HWND propietario);

// Reads the value `SubKeyRef` of `KeyName` under `KeyRoot` into `KeyVal` as text: REG_SZ as it is,
// REG_DWORD in decimal, other types leave `KeyVal` alone. False, with `KeyVal` emptied, when the
// key cannot be opened with full access or the value cannot be read into 1024 bytes.
bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal);
