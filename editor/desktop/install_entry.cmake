# Run by `cmake --install`: writes the desktop entry for the program under the install prefix.
# MOVINTA_DATADIR and MOVINTA_BINDIR are the install folders relative to the prefix; the entry is
# written into MOVINTA_STAGING first and installed from there, so that the install lists it.
set(movinta_program "${CMAKE_INSTALL_PREFIX}/${MOVINTA_BINDIR}/Movinta6")

# The escapes of a string value in a desktop entry (applied to Exec after its own quoting).
function(movinta_desktop_string out value)
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\n" "\\n" value "${value}")
  string(REPLACE "\t" "\\t" value "${value}")
  string(REPLACE "\r" "\\r" value "${value}")
  if(value MATCHES "^ ")
    string(REGEX REPLACE "^ " "\\\\s" value "${value}")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# The program as the one argument of an Exec line: a path with a reserved character goes in quotes,
# in which a quote, backquote, dollar or backslash is escaped; a percent sign is doubled, since it
# would start a field code.
function(movinta_desktop_exec_argument out value)
  string(REPLACE "%" "%%" value "${value}")
  if(value MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\\\"" value "${value}")
    string(REPLACE "`" "\\`" value "${value}")
    string(REPLACE "$" "\\$" value "${value}")
    set(value "\"${value}\"")
  endif()
  movinta_desktop_string(value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

movinta_desktop_exec_argument(MOVINTA_EXEC "${movinta_program}")
movinta_desktop_string(MOVINTA_TRYEXEC "${movinta_program}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/com.larkspur.Movinta.desktop.in"
               "${MOVINTA_STAGING}/com.larkspur.Movinta.desktop" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${MOVINTA_DATADIR}/applications" TYPE FILE
     FILES "${MOVINTA_STAGING}/com.larkspur.Movinta.desktop")
