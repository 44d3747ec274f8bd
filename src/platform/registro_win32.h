#pragma once
// A value anywhere in the registry, for the Windows windows that read outside the settings store
// (the about box looks under HKEY_LOCAL_MACHINE for the system-information tool).

#include <windows.h>

#include <string>

namespace ajustes {

// `KeyVal` gets the value `SubKeyRef` of `KeyRoot`\`KeyName`: a REG_SZ as it is (without its NUL),
// a REG_DWORD as decimal digits, any other type leaves it unchanged. The key is opened for reading
// only. False, with `KeyVal` emptied, when the key or the value cannot be read.
bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal);

}  // namespace ajustes
