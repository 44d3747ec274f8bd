# Copies the helper under two file names and shows that each name reads its own settings.
# Variables: AYUDANTE (the built helper), CARPETA (a working folder, emptied first),
# EMULADOR (how to run a cross-built program, may be empty), SUFIJO (".exe" or empty).
foreach(v AYUDANTE CARPETA)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "${v} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${CARPETA}")
file(MAKE_DIRECTORY "${CARPETA}/config")
# Native runs keep their settings inside the build folder, never in the user's own.
set(ENV{XDG_CONFIG_HOME} "${CARPETA}/config")

# Another run of this test (the other Windows build, sharing the Wine prefix) uses other names.
string(RANDOM LENGTH 8 ALPHABET 0123456789 azar)
set(nombreA "TramizaA${azar}")
set(nombreB "TramizaB${azar}")
file(COPY_FILE "${AYUDANTE}" "${CARPETA}/${nombreA}${SUFIJO}")
file(COPY_FILE "${AYUDANTE}" "${CARPETA}/${nombreB}${SUFIJO}")

set(fallos "")
function(ejecutar nombre orden salidaEsperada)
  execute_process(
    COMMAND ${EMULADOR} "${CARPETA}/${nombre}${SUFIJO}" ${orden}
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE salida
    ERROR_VARIABLE errores
    TIMEOUT 120)
  string(STRIP "${salida}" salida)
  if(NOT rc EQUAL 0)
    set(fallos "${fallos}\n${nombre} ${orden}: exit ${rc}: ${errores}" PARENT_SCOPE)
  elseif(NOT "${salidaEsperada}" STREQUAL "-" AND NOT salida STREQUAL "${salidaEsperada}")
    set(fallos "${fallos}\n${nombre} ${orden}: printed '${salida}', expected '${salidaEsperada}'" PARENT_SCOPE)
  endif()
endfunction()

ejecutar(${nombreA} grabar "-")
ejecutar(${nombreA} leer "7")
ejecutar(${nombreB} leer "1")
ejecutar(${nombreA} borrar "-")
ejecutar(${nombreB} borrar "-")
file(REMOVE_RECURSE "${CARPETA}")

if(fallos)
  message(FATAL_ERROR "${fallos}")
endif()
