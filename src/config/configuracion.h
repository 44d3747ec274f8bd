#pragma once
// The seven user settings, held in memory and copied to and from the per-user settings store.
// Each setting lives in a section of its own, under the key "Tramiza".

#include <cstdint>
#include <string>

class clsConfiguracion {
public:
    // `aplicacion` names the set of settings; the program passes the running executable's name.
    explicit clsConfiguracion(std::string aplicacion);

    std::string DirectorioZELNO;
    std::string DirectorioKorvane;
    std::int16_t ActivarTX = 0;
    std::int16_t Intervalo = 0;
    std::int16_t IniciarActivo = 0;
    std::int16_t IniciarZelnoExe = 0;
    std::string ZelnoExe;

    // Writes all seven settings, the numbers as decimal text. Store failures reach the caller.
    void Save() const;
    // Reads the seven settings in their fixed order, each with its default when absent. A stored
    // number that does not convert stops the load there with plataforma::ErrorSistema: the settings
    // read before it keep their new values, it and the later ones their old values.
    void Load();

    const std::string& Aplicacion() const noexcept { return aplicacion_; }

private:
    std::string aplicacion_;
};

// The polling interval, in seconds. The settings dialog takes kIntervaloMinimo..kIntervaloMaximo; a
// stored kIntervaloSinSondeo leaves polling on without ticks, so that no terminal is served (as does
// a negative value that an older store may hold).
inline constexpr std::int16_t kIntervaloMinimo = 0;
inline constexpr std::int16_t kIntervaloMaximo = 32767;
inline constexpr std::int16_t kIntervaloSinSondeo = 0;
constexpr bool IntervaloAdmitido(std::int32_t segundos) {
    return segundos >= kIntervaloMinimo && segundos <= kIntervaloMaximo;
}
// The period of the polling clock in milliseconds, every stored value in 32 bits; 0: no ticks.
constexpr std::int32_t IntervaloMs(std::int16_t segundos) {
    return segundos > kIntervaloSinSondeo ? std::int32_t{segundos} * 1000 : 0;
}

// Converts stored text to a 16-bit number: blanks around it ignored, an optional sign, digits and
// an optional decimal fraction rounded half to even. Anything else, or a value outside
// -32768..32767, throws plataforma::ErrorSistema (13 for text that is no number, 6 for overflow).
std::int16_t ConvertirEntero16(const std::string& texto);
