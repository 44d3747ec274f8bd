#!/usr/bin/env bash
# GUI test of the settings dialog: Tramiza.exe runs under Wine on a virtual desktop of its own,
# conductor.exe opens the dialog from the main window's menu and checks its fields, and `wine reg`
# reads what reached the registry. Screenshots for a person to look at go to OUTPUT/capturas.
#
#   prueba_configuracion.sh TRAMIZA.EXE CONDUCTOR.EXE OUTPUT
#
# Uses WINEPREFIX and DISPLAY from the environment. It rewrites the program's settings under
# HKCU\Software\VB and VBA Program Settings\Tramiza and needs the single-instance mutex, so it must
# not run at the same time as the other GUI tests.
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "uso: $0 TRAMIZA.EXE CONDUCTOR.EXE SALIDA" >&2
  exit 2
fi
tramiza=$1 conductor=$2 salida=$3
raiz=$(cd "$(dirname "$0")/../.." && pwd)

caso=configuracion
trabajo=$salida/trabajo/$caso
capturas=$salida/capturas
# shellcheck source=tests/gui/comun.sh
source "$(dirname "$0")/comun.sh"

rm -rf "$trabajo"
mkdir -p "$trabajo" "$capturas"
rm -f "$capturas/$caso"-*.png

# --- Helpers ---------------------------------------------------------------------------------------

# The dialog's control numbers, from the header the program is built with.
ids=$raiz/src/app/ids_configuracion.h
id() {
  local n
  n=$(awk -v nombre="$1" '$1 == "#define" && $2 == nombre { print $3 }' "$ids")
  [ -n "$n" ] || { echo "no se encuentra $1 en $ids" >&2; exit 2; }
  echo "$n"
}
txtIntervalo=$(id IDC_TXT_INTERVALO)
chkTx=$(id IDC_CHK_TX)
chkIniciar=$(id IDC_CHK_INICIAR)
chkIniciarZelno=$(id IDC_CHK_INICIAR_ZELNO)
cboZelnoExe=$(id IDC_CBO_ZELNO_EXE)
cmdBuscarZelnoExe=$(id IDC_CMD_BUSCAR_ZELNO_EXE)
cboDirKorvane=$(id IDC_CBO_DIR_KORVANE)
cmdBuscarDirKorvane=$(id IDC_CMD_BUSCAR_DIR_KORVANE)
cboDirZelno=$(id IDC_CBO_DIR_ZELNO)
cmdBuscarDirZelno=$(id IDC_CMD_BUSCAR_DIR_ZELNO)
cmdGrabar=$(id IDC_CMD_GRABAR)
cmdSalir=$(id IDC_CMD_SALIR)


estado() { c consulta frmPuleo TramizaEstadoPrueba "$1"; }

# The dialog is the only dialog box on the test desktop while no message box is open; its caption
# has an accent, which the driver's arguments cannot carry, so it is found by class and its caption
# compared here.
D='#32770'
campo() { c texto "$D" "$1"; }
marca() { c estado-check "$D" "$1"; }
habilitado() { c habilitado "$D" "$1"; }
# The shell's folder browser is a dialog box too, above the settings dialog while it is open.
dialogos() {  # N: waits until N dialog boxes are open
  for _ in $(seq 300); do [ "$(c contar-ventanas "$D")" = "$1" ] && return 0; sleep 0.1; done
  return 1
}
encabezado() { c controles "$D" | cut -f2,3 | grep -Fxq "$(printf 'Static\t%s' "$1")"; }

# Registry: the settings key, its lists and the whole tree, as `wine reg` shows them.
clave='HKCU\Software\VB and VBA Program Settings\Tramiza'
# A missing key is an empty tree: `wine reg` says so on its standard output.
reg_todo() { wine_reintentando reg query "$clave" /s 2>/dev/null | tr -d '\r' | grep -v -e '^$' -e '^reg: '; }
reg_lista() {  # SECTION: "key=value" lines in key order
  wine_reintentando reg query "$clave\\$1" 2>/dev/null | tr -d '\r' | sed -n 's/^    \(.*\)    REG_SZ    \(.*\)$/\1=\2/p' |
    sort -t= -k1,1n
}
poner_lista() {  # SECTION VALUE... stored under keys 1, 2, ...
  local seccion=$1 n=0 v
  shift
  for v in "$@"; do
    n=$((n + 1))
    wine_reintentando reg add "$clave\\$seccion" /v "$n" /t REG_SZ /d "$v" /f >/dev/null 2>&1 ||
      fatal "no se puede escribir la lista $seccion"
  done
}
ajuste() { c leer-ajuste "$1" 2>/dev/null; }

# The seven settings, each in its section under the value "Tramiza".
ajustes() {  # KORVANE ZELNO INTERVALO ACTIVAR_TX INICIAR_ACTIVO INICIAR_ZELNO ZELNO_EXE
  tramiza_ajustes "$@" || fatal "no se pueden escribir los ajustes"
}

trap tramiza_limpiar EXIT

iniciar_tramiza() {
  tramiza_iniciar "$tramiza" || fatal "no aparecio la ventana principal"
  c esperar-consulta frmPuleo TramizaEstadoPrueba IconoBandeja eq 1 30000 >/dev/null ||
    fatal "la ventana principal no termino de cargar"
}

terminar_tramiza() {
  tramiza_salir 2004 || fatal "Tramiza.exe sigue corriendo despues de &Salir"
}

# Opens the dialog from "&Configuración" and keeps its handle in `dialogo`. The boxes that opening
# shows are waited for one after the other, compared with their TITLE and TEXT and closed before the
# dialog is looked at.
abrir() {  # [TITLE TEXT]...
  [ "$(c contar-ventanas "$D")" = 0 ] || fatal "hay un cuadro de dialogo abierto antes de abrir la configuracion"
  # The menu does nothing while the main window is disabled, and the dialog just closed may leave
  # it disabled for a moment after it has gone.
  for _ in $(seq 100); do [ "$(c ventana-habilitada frmPuleo)" = 1 ] && break; sleep 0.1; done
  c comando frmPuleo mnuConfiguracion || fatal "no se puede elegir &Configuracion"
  while [ $# -ge 2 ]; do
    igual "caja al abrir: $2" "$(printf '%s\n%s' "$1" "$2")" "$(c caja-mensaje 30000)"
    c pulsar-ok 10000 || fatal "no se pudo cerrar la caja"
    shift 2
  done
  dialogo=$(c esperar-ventana "$D" - 30000) || fatal "no se abrio el dialogo"
  c esperar-visible "$D" 1 30000 || fatal "el dialogo no se hizo visible"
  [ "$(c contar-ventanas "$D")" = 1 ] || fatal "hay mas de un cuadro de dialogo abierto"
  [ "$(c titulo "$D")" = "Configuración..." ] || fatal "el cuadro abierto es [$(c titulo "$D")]"
}

# Closes the dialog with a button, Esc ("esc") or the title bar's close button ("cerrar"). Waited for
# by its handle: the main window may show a box of its own as soon as the dialog closes.
cerrar_con() {  # BUTTON|esc|cerrar
  case $1 in
    esc) c tecla "$D" 0x1B ;;
    cerrar) c cerrar "$D" ;;
    *) c pulsar "$D" "$1" ;;
  esac || fatal "no se puede cerrar el dialogo con $1"
  c esperar-sin-ventana "$dialogo" 30000 || fatal "el dialogo no se cerro con $1"
}

ninguna_caja() { igual "$1: ninguna caja de mensaje" 0 "$(c contar-cajas)"; }

K=$trabajo/K
Z=$trabajo/Z
K2=$trabajo/K2
Z2=$trabajo/Z2
mkdir -p "$K" "$Z" "$K2" "$Z2"
Kw=$(win "$K")
Zw=$(win "$Z")
K2w=$(win "$K2")
Z2w=$(win "$Z2")
exe1='C:\Zelno\Zelno32.exe'
exe2='C:\Otro\Zelno32.exe'
exeNuevo='C:\Nuevo\Zelno32.exe'
mensajeRango='El intervalo de búsqueda debe ser un número de segundos entre 0 y 32767.'

echo "=== $caso (WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY)"
# Actions of the driver this test needs beyond reading and pressing.
for accion in escribir habilitado foco; do
  if c "$accion" 2>&1 | grep -q "accion desconocida"; then
    echo "FALLO: el conductor no tiene la accion $accion" >&2
    exit 1
  fi
done

# Folders of this test and no client start: the main window opens without a message box, and its
# polling stays off until the test turns it on.
ajustes "$Kw" "$Zw" 1 0 0 0 ""
iniciar_tramiza
ninguna_caja "inicio"

# --- An empty store: the defaults -------------------------------------------------------------------
c borrar-ajustes || fatal "no se pueden borrar los ajustes"
abrir
igual "titulo" "Configuración..." "$(c titulo "$D")"
igual "marco" "General" "$(c texto "$D" "$(id IDC_FRAME1)")"
igual "etiqueta del intervalo" "Intervalo de búsqueda (seg.):" "$(c texto "$D" "$(id IDC_LBL_INTERVALO0)")"
igual "etiqueta del ejecutable" "Ubicación:" "$(c texto "$D" "$(id IDC_LBL_INTERVALO1)")"
igual "etiqueta Korvane" "Directorio de trabajo Korvane" "$(c texto "$D" "$(id IDC_LABEL1)")"
igual "etiqueta ZELNO" "Directorio de trabajo ZELNO" "$(c texto "$D" "$(id IDC_LABEL2)")"
igual "casilla TX" "Activar método TX Finder" "$(c texto "$D" "$chkTx")"
igual "casilla de inicio" "Comenzar la búsqueda al iniciar programa" "$(c texto "$D" "$chkIniciar")"
igual "casilla del cliente" "Iniciar Cliente ZELNO32.EXE" "$(c texto "$D" "$chkIniciarZelno")"
igual "botones de busqueda" "... ... ..." \
  "$(c texto "$D" "$cmdBuscarZelnoExe") $(c texto "$D" "$cmdBuscarDirKorvane") $(c texto "$D" "$cmdBuscarDirZelno")"
igual "botones" "Grabar Salir" "$(c texto "$D" "$cmdGrabar") $(c texto "$D" "$cmdSalir")"
igual "intervalo por defecto" "1" "$(campo "$txtIntervalo")"
igual "TX por defecto" 1 "$(marca "$chkTx")"
igual "inicio por defecto" 1 "$(marca "$chkIniciar")"
igual "cliente por defecto" 1 "$(marca "$chkIniciarZelno")"
igual "ejecutable por defecto" "" "$(campo "$cboZelnoExe")"
igual "carpeta Korvane por defecto" 'C:\' "$(campo "$cboDirKorvane")"
igual "carpeta ZELNO por defecto" 'C:\Estandar' "$(campo "$cboDirZelno")"
igual "ejecutable habilitado" "1 1" "$(habilitado "$cboZelnoExe") $(habilitado "$cmdBuscarZelnoExe")"
igual "el foco empieza en el intervalo" "$txtIntervalo" "$(c foco "$D")"
ninguna_caja "valores por defecto"
captura valores-por-defecto
etiquetas_enteras "$D" && echo "ok: every label shows whole" || falla "a label of the dialog is cut"

# The tab key walks the fields in their order and comes back to the interval.
orden=("$chkIniciarZelno" "$cboZelnoExe" "$cmdBuscarZelnoExe" "$cboDirKorvane" "$cmdBuscarDirKorvane" "$cboDirZelno"
  "$cmdBuscarDirZelno" "$cmdGrabar" "$cmdSalir" "$chkIniciar" "$chkTx" "$txtIntervalo")
recorrido=() foco=
for esperado in "${orden[@]}"; do
  c tecla "$D" 0x09
  for _ in $(seq 50); do
    foco=$(c foco "$D")
    [ "$foco" = "$esperado" ] && break
    sleep 0.1
  done
  recorrido+=("$foco")
done
igual "orden de tabulacion" "${orden[*]}" "${recorrido[*]}"

# Enter in a field presses no button: nothing is saved and the dialog stays.
c tecla "$D" 0x0D
sleep 1
igual "Enter deja el dialogo abierto" 1 "$(c contar-ventanas "$D")"
igual "Enter no graba nada" "" "$(reg_todo)"
cerrar_con "$cmdSalir"
igual "Salir no graba nada" "" "$(reg_todo)"
# The main window now looks for terminals in C:\ and cannot make their folders in C:\Estandar.
if c caja-mensaje 10000 "Carga de terminales" >/dev/null 2>&1; then c pulsar-ok 10000 "Carga de terminales"; fi

# --- Recent entries ---------------------------------------------------------------------------------
ajustes "$Kw" "$Zw" 2 0 1 1 ""
poner_lista LastDirExeZelno "$exe1" "$exe2"
poner_lista LastDirKorvane "$K2w" "$Kw" "   "
poner_lista LastDirZelno "$Z2w" "$Zw"
antes=$(reg_todo)
abrir
igual "intervalo" "2" "$(campo "$txtIntervalo")"
igual "casillas TX, inicio, cliente" "0 1 1" "$(marca "$chkTx") $(marca "$chkIniciar") $(marca "$chkIniciarZelno")"
igual "el ejecutable muestra su entrada mas reciente, no el ajuste vacio" "$exe1" "$(campo "$cboZelnoExe")"
igual "Korvane muestra su entrada mas reciente" "$K2w" "$(campo "$cboDirKorvane")"
igual "ZELNO muestra su entrada mas reciente" "$Z2w" "$(campo "$cboDirZelno")"
ninguna_caja "listas"
captura listas

c click "$D" "$chkIniciarZelno" || falla "no se puede pulsar la casilla del cliente"
igual "cliente desmarcado" 0 "$(marca "$chkIniciarZelno")"
igual "el ejecutable queda vacio" "" "$(campo "$cboZelnoExe")"
igual "campo y boton deshabilitados" "0 0" "$(habilitado "$cboZelnoExe") $(habilitado "$cmdBuscarZelnoExe")"
captura cliente-desmarcado
c click "$D" "$chkIniciarZelno" || falla "no se puede pulsar la casilla del cliente"
igual "cliente marcado otra vez" 1 "$(marca "$chkIniciarZelno")"
igual "vuelve la entrada mas reciente" "$exe1" "$(campo "$cboZelnoExe")"
igual "campo y boton habilitados" "1 1" "$(habilitado "$cboZelnoExe") $(habilitado "$cmdBuscarZelnoExe")"

# The folder browser: the current folder, trimmed, is its heading, and cancelling it puts that text
# back.
c escribir "$D" "$cboDirKorvane" "  $K2w  "
c pulsar "$D" "$cmdBuscarDirKorvane"
dialogos 2 || fatal "no se abrio el explorador de carpetas"
if encabezado "$K2w"; then echo "ok: encabezado del explorador"; else falla "el explorador no muestra [$K2w]"; fi
captura explorador-carpetas
c tecla "$D" 0x1B
dialogos 1 || fatal "el explorador de carpetas no se cerro"
igual "cancelar el explorador deja el texto anterior sin blancos" "$K2w" "$(campo "$cboDirKorvane")"
c pulsar "$D" "$cmdBuscarZelnoExe"
dialogos 2 || fatal "no se abrio el explorador del ejecutable"
if encabezado "Mensaje"; then
  echo "ok: encabezado del explorador del ejecutable"
else
  falla "el explorador no dice Mensaje"
fi
c tecla "$D" 0x1B
dialogos 1 || fatal "el explorador del ejecutable no se cerro"
igual "cancelar deja el ejecutable anterior" "$exe1" "$(campo "$cboZelnoExe")"

# Every field changed, then "Salir": the store and the lists stay as they were.
c escribir "$D" "$txtIntervalo" 9
c click "$D" "$chkTx" && c click "$D" "$chkIniciar" && c click "$D" "$chkIniciarZelno" ||
  falla "no se pueden pulsar las casillas"
igual "casillas cambiadas" "1 0 0" "$(marca "$chkTx") $(marca "$chkIniciar") $(marca "$chkIniciarZelno")"
c escribir "$D" "$cboDirKorvane" 'C:\Cambiado'
c escribir "$D" "$cboDirZelno" ""
cerrar_con "$cmdSalir"
igual "Salir tras cambiar todo deja el registro igual" "$antes" "$(reg_todo)"
ninguna_caja "Salir"
# The main window took the interval of the store, which opening reloaded.
c click frmPuleo chkConected || falla "no se puede encender la busqueda"
igual "intervalo del almacen tras Salir" 2000 \
  "$(c esperar-consulta frmPuleo TramizaEstadoPrueba IntervaloMs eq 2000 10000)"

# --- "Grabar" ---------------------------------------------------------------------------------------
abrir
c escribir "$D" "$txtIntervalo" 3
c click "$D" "$chkTx" || falla "no se puede pulsar la casilla TX"
c escribir "$D" "$cboZelnoExe" "$exeNuevo"
# The second entry again, in other letter case: it moves to the front, not twice in the list.
KwMayus=${Kw^^}
c escribir "$D" "$cboDirKorvane" "$KwMayus"
c escribir "$D" "$cboDirZelno" "$Zw"
cerrar_con "$cmdGrabar"
igual "Intervalo grabado" 3 "$(ajuste Intervalo)"
igual "ActivarTX grabado" 1 "$(ajuste ActivarTX)"
igual "IniciarActivo grabado" 1 "$(ajuste IniciarActivo)"
igual "IniciarZelnoExe grabado" 1 "$(ajuste IniciarZelnoExe)"
igual "DirectorioKorvane grabado" "$KwMayus" "$(ajuste DirectorioKorvane)"
igual "DirectorioZELNO grabado" "$Zw" "$(ajuste DirectorioZELNO)"
igual "ZelnoExe grabado" "$exeNuevo" "$(ajuste ZelnoExe)"
igual "lista Korvane" "$(printf '1=%s\n2=%s' "$KwMayus" "$K2w")" "$(reg_lista LastDirKorvane)"
igual "lista ZELNO" "$(printf '1=%s\n2=%s' "$Zw" "$Z2w")" "$(reg_lista LastDirZelno)"
igual "lista de ejecutables" "$(printf '1=%s\n2=%s\n3=%s' "$exeNuevo" "$exe1" "$exe2")" "$(reg_lista LastDirExeZelno)"
igual "la ventana principal aplica el intervalo nuevo" 3000 \
  "$(c esperar-consulta frmPuleo TramizaEstadoPrueba IntervaloMs eq 3000 10000)"
ninguna_caja "Grabar"

# --- An interval that cannot be used: a message, the dialog stays, nothing is saved ------------------
antes=$(reg_todo)
abrir
igual "el intervalo grabado se muestra" "3" "$(campo "$txtIntervalo")"
c escribir "$D" "$cboDirKorvane" "$K2w"
for malo in 40000 -5; do
  c escribir "$D" "$txtIntervalo" "$malo"
  # The focus elsewhere, so that its return to the interval field shows.
  c click "$D" "$chkTx" && c click "$D" "$chkTx" || falla "no se puede pulsar la casilla TX"
  igual "intervalo $malo: el foco esta en la casilla TX" "$chkTx" "$(c foco "$D")"
  c pulsar "$D" "$cmdGrabar"
  igual "intervalo $malo: mensaje del rango" "$(printf 'Tramiza\n%s' "$mensajeRango")" "$(c caja-mensaje 20000)"
  [ "$malo" = 40000 ] && captura intervalo-fuera-de-rango
  c pulsar-ok 10000 || fatal "no se pudo cerrar la caja"
  igual "intervalo $malo: el dialogo sigue abierto" 1 "$(c visible "$D")"
  igual "intervalo $malo: el foco vuelve al intervalo" "$txtIntervalo" "$(c foco "$D")"
  igual "intervalo $malo: el campo conserva el texto" "$malo" "$(campo "$txtIntervalo")"
  igual "intervalo $malo: nada grabado" "$antes" "$(reg_todo)"
done
cerrar_con cerrar
igual "cerrar desde la barra de titulo tras los intervalos rechazados" "$antes" "$(reg_todo)"
igual "el intervalo de la ventana principal sigue" 3000 "$(estado IntervaloMs)"

# --- Flags the boxes cannot show, a grayed box, a load that stops -----------------------------------
c ajuste ActivarTX 5 && c ajuste IniciarZelnoExe 2 || fatal "no se pueden escribir los ajustes"
antes=$(reg_todo)
abrir "Tramiza" \
  "$(printf 'Error al cargar la configuración.\rConfiguracion.Load\rEl valor de la propiedad no es válido')"
igual "ActivarTX 5 deja la casilla TX como estaba" 0 "$(marca "$chkTx")"
igual "IniciarZelnoExe 2 se muestra gris" 2 "$(marca "$chkIniciarZelno")"
igual "con la casilla gris el ejecutable sigue editable" "$exeNuevo 1 1" \
  "$(campo "$cboZelnoExe") $(habilitado "$cboZelnoExe") $(habilitado "$cmdBuscarZelnoExe")"
captura casilla-gris
c click "$D" "$chkIniciarZelno"
igual "un clic sobre la casilla gris la marca" 1 "$(marca "$chkIniciarZelno")"
c click "$D" "$chkIniciarZelno"
igual "el siguiente la desmarca" "0 0" "$(marca "$chkIniciarZelno") $(habilitado "$cboZelnoExe")"
cerrar_con esc
igual "Esc no graba nada" "$antes" "$(reg_todo)"

c ajuste Intervalo abc || fatal "no se puede escribir el ajuste"
# The load stops at the first setting: every field keeps what the last opening loaded, ActivarTX 5
# included, whose box comes again.
abrir "Tramiza" "$(printf 'Error al cargar la configuración.\rConfiguracion.Load\rNo coinciden los tipos')" \
  "Tramiza" "$(printf 'Error al cargar la configuración.\rConfiguracion.Load\rEl valor de la propiedad no es válido')"
igual "la carga se detuvo en Intervalo: el campo muestra el valor anterior" "3" "$(campo "$txtIntervalo")"
igual "y la casilla del cliente sigue gris" 2 "$(marca "$chkIniciarZelno")"
cerrar_con "$cmdSalir"

# --- An interval of 0 (empty, not a number, or 0): a warning before saving, and it is saved as ever --
c ajuste Intervalo 3 && c ajuste ActivarTX 0 && c ajuste IniciarZelnoExe 0 || fatal "no se pueden escribir los ajustes"
for cero in "" abc 0; do
  abrir
  c escribir "$D" "$txtIntervalo" "$cero"
  c pulsar "$D" "$cmdGrabar"
  igual "intervalo [$cero]: aviso antes de grabar" \
    "$(printf 'Tramiza\nCon intervalo 0 Tramiza no atiende las terminales.')" "$(c caja-mensaje 20000)"
  c pulsar-ok 10000 || fatal "no se pudo cerrar el aviso"
  c esperar-sin-ventana "$dialogo" 30000 || fatal "el dialogo no se cerro tras el aviso"
  igual "intervalo [$cero]: se graba 0" 0 "$(ajuste Intervalo)"
  c ajuste Intervalo 3 || fatal "no se puede escribir el ajuste"
done

terminar_tramiza
c borrar-ajustes >/dev/null 2>&1

if [ "$fallos" -ne 0 ]; then
  echo "$caso: $fallos comprobaciones fallaron" >&2
  exit 1
fi
echo "$caso: todo bien"
