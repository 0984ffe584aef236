# The program starts without Qt's printing and CUPS (and all they bring): they come with the
# printing module on the first print. A link that pulls them back in slows every start.
execute_process(COMMAND ldd "${PROGRAM}" RESULT_VARIABLE failed OUTPUT_VARIABLE libraries ERROR_VARIABLE errors)
if(failed)
  message(FATAL_ERROR "ldd ${PROGRAM} : ${errors}")
endif()
foreach(printing libQt6PrintSupport libcups)
  if(libraries MATCHES "${printing}")
    message(FATAL_ERROR "${PROGRAM} charge ${printing} au démarrage :\n${libraries}")
  endif()
endforeach()
