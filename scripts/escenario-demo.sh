# shellcheck shell=bash
# Sourced by both demos: three point-of-sale terminals and the simulated client's folder under
# $work, with a company table and a behaviour per terminal (a normal answer, a client failure, an
# answer filled late), the request each terminal sends and the answer it must get. Sets K and Z.
K=${work:?}/K Z=$work/Z
demo_terminales=(TER01 TER02 TER03)
mkdir -p "$K/TER01" "$K/TER02" "$K/TER03" "$Z"
# The client's company table: provider number parts at characters 9-10 and 41-42, name from 11.
printf '%-8s%-2s%-30s%-2s\r\n' 00000001 45 "PASTEU" 02 >"$Z/_zelno.emp"
# How the simulated client answers each terminal.
cat >"$Z/_zelno_sim.cfg" <<'CFG'
term01 normal 300
term02 falla E12 SIN LINEA\r\n
term03 seresp-tarde 3500
CFG

# The request of terminal N (1 to 3), as the terminal simulator's arguments after --dir.
# shellcheck disable=SC2034  # solicitud is read by the demos
demo_solicitud() {  # N
  case $1 in
    1) solicitud=(--id VENTA-0001 --longitud 336 --empresa PASTEU) ;;
    2) solicitud=(--id VENTA-0002 --longitud 226 --empresa ACA) ;;
    3) solicitud=(--id VENTA-0003 --longitud 200) ;;
  esac
}

# What the terminal simulator of terminal N reports once its answer is there: the client's answer
# for TER01 and, filled late, for TER03 (whose request has no company code: the default provider
# code); for TER02, whose client failed, Tramiza's own 351-byte communication-error record.
demo_respuesta_esperada() {  # N
  case $1 in
    1 | 3)
      local id=VENTA-000$1 terminal=term0$1 proveedor=V9014502
      [ "$1" = 3 ] && proveedor=V9011101
      printf 'estado: respuesta lista\nSTATUS.ZLN (1 bytes): S\n'
      printf 'SERESP.ZLN (30 bytes): RESPUESTA %s %s\\r\n' "$proveedor" "$id"
      printf 'PRAXIS.ZLN (48 bytes): PRAXIS RESPUESTA %s\\r\\nPRAXIS %s\\r\\n\n' "$id" "$id"
      printf 'TIQUET.PRN (57 bytes): TIQUET %s\\r\\nPROVEEDOR %s\\r\\nSOLICITUD %s\\r\\n\n' "$terminal" "$proveedor" "$id"
      ;;
    2)
      printf 'estado: respuesta lista\nSTATUS.ZLN (1 bytes): S\n'
      printf 'SERESP.ZLN (351 bytes): %-147s0100000000%193s\\r\n' \
        "9200000001ERROR EN LA COMUNICACION. REINTENTE. E12ERROR EN LA COMUNICACION. REINTENTE. E12 SIN LINEA" ""
      printf 'PRAXIS.ZLN: no existe\nTIQUET.PRN: no existe\n'
      ;;
  esac
}

# Compares terminal N's report (FILE) with the answer it must get; says which, and why not.
demo_comprobar() {  # N FILE
  local esperada obtenida
  esperada=$(demo_respuesta_esperada "$1")
  obtenida=$(tr -d '\r' <"$2")
  if [ "$obtenida" == "$esperada" ]; then
    echo "${demo_terminales[$1 - 1]}: the expected answer"
    return 0
  fi
  echo "FAILED: ${demo_terminales[$1 - 1]} did not get the expected answer" >&2
  diff <(echo "$esperada") <(echo "$obtenida") | sed 's/^/  /' >&2
  return 1
}
