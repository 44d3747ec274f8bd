#pragma once
// A watch over a folder and the folders in it (a root and its terminals' folders, made before the
// watch or after): each file created, written, renamed or removed there is reported with its path,
// from a thread of the watch's own, as it happens. The polling
// timer stays the safety net: a watch may lose events (a share that drops notifications, an
// overflow), and says so once through `alPerder`; what it misses a later tick finds.

#include <functional>
#include <memory>
#include <string>

namespace vigilancia {

class Vigilante {
public:
    // `alCambiar(ruta)`: the path that changed, `raiz` joined with the name below it ('\' on
    // Windows, '/' elsewhere). `alPerder(motivo)`: events may have been lost (overflow) or the watch
    // has ended for good (the folder went away, the system refused); called on the watch's thread.
    // A watch that cannot be started reports it through `alPerder` at once.
    Vigilante(std::string raiz, std::function<void(const std::string&)> alCambiar,
              std::function<void(const std::string&)> alPerder);
    ~Vigilante();
    Vigilante(const Vigilante&) = delete;
    Vigilante& operator=(const Vigilante&) = delete;

    // True while the watch runs.
    bool Activo() const noexcept;

    struct Estado;

private:
    std::unique_ptr<Estado> estado_;
};

}  // namespace vigilancia
