# Sourced by both demos: three point-of-sale terminals and the simulated client's folder under
# $work, with a company table and a behaviour per terminal (a normal answer, a client failure, an
# answer filled late). Sets K and Z.
K=$work/K Z=$work/Z
mkdir -p "$K/TER01" "$K/TER02" "$K/TER03" "$Z"
# The client's company table: provider number parts at characters 9-10 and 41-42, name from 11.
printf '%-8s%-2s%-30s%-2s\r\n' 00000001 45 "PASTEU" 02 >"$Z/_zelno.emp"
# How the simulated client answers each terminal.
cat >"$Z/_zelno_sim.cfg" <<CFG
term01 normal 300
term02 falla E12 SIN LINEA\r\n
term03 seresp-tarde 3500
CFG
