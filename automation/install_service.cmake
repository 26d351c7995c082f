# Run by `cmake --install`: writes the bus service file for the program under the install prefix.
# MOVINTA_DATADIR and MOVINTA_BINDIR are the install folders relative to the prefix; the file is
# written into MOVINTA_STAGING first and installed from there, so that the install lists it.
set(movinta_program "${CMAKE_INSTALL_PREFIX}/${MOVINTA_BINDIR}/Movinta6")
# The desktop-entry quoting the bus daemon reads: a path with blanks or quotes goes in quotes.
if(movinta_program MATCHES "[ \t\"'`$\\\\]")
  string(REPLACE "\\" "\\\\" movinta_program "${movinta_program}")
  string(REPLACE "\"" "\\\"" movinta_program "${movinta_program}")
  string(REPLACE "`" "\\`" movinta_program "${movinta_program}")
  string(REPLACE "$" "\\$" movinta_program "${movinta_program}")
  set(movinta_program "\"${movinta_program}\"")
endif()
file(WRITE "${MOVINTA_STAGING}/com.larkspur.Movinta.service"
     "[D-BUS Service]\nName=com.larkspur.Movinta\nExec=${movinta_program} --automation\n")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${MOVINTA_DATADIR}/dbus-1/services" TYPE FILE
     FILES "${MOVINTA_STAGING}/com.larkspur.Movinta.service")
