# The program starts without Qt's printing and CUPS (and all they bring): they come with the
# printing module on the first print. A link that pulls them back in slows every start.
# LISTER is the command that lists the libraries a program loads ("ldd", or "objdump|-p" for a
# Windows program), its words separated by "|".
string(REPLACE "|" ";" lister "${LISTER}")
execute_process(COMMAND ${lister} "${PROGRAM}" RESULT_VARIABLE failed OUTPUT_VARIABLE libraries ERROR_VARIABLE errors)
if(failed)
  message(FATAL_ERROR "${lister} ${PROGRAM} : ${errors}")
endif()
if(NOT libraries MATCHES "Qt6Widgets")
  message(FATAL_ERROR "${lister} ne donne pas les bibliothèques de ${PROGRAM} :\n${libraries}")
endif()
foreach(printing Qt6PrintSupport libcups)
  if(libraries MATCHES "${printing}")
    message(FATAL_ERROR "${PROGRAM} charge ${printing} au démarrage :\n${libraries}")
  endif()
endforeach()
