# cmake -DBUILD=... -DWORK=... -P InstallRegistersJad.cmake
# A direct install leaves the desktop's caches knowing the .jad type and the program that opens
# it; a staged one (DESTDIR) leaves no cache, which would otherwise be packaged.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${WORK}/direct"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed: ${failed}")
endif()
set(share "${WORK}/direct/share")
file(READ "${share}/mime/globs2" globs)
if(NOT globs MATCHES "application/x-jade-export:\\*\\.jad")
  message(FATAL_ERROR "no .jad glob in the MIME database after a direct install:\n${globs}")
endif()
file(READ "${share}/applications/mimeinfo.cache" handlers)
if(NOT handlers MATCHES "application/x-jade-export=zeb06ce2\\.desktop")
  message(FATAL_ERROR "zeb06ce2 is not offered for .jad exports:\n${handlers}")
endif()

# The installed programs, as su, sudo or cron start them: no runtime folder, no screen, a home
# of their own.
unset(ENV{XDG_RUNTIME_DIR})
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{QT_QPA_PLATFORM})
set(ENV{HOME} "${WORK}/home")
set(ENV{XDG_DATA_HOME} "${WORK}/home/.local/share")

# The installed zeb-fiches finds its libraries in lib/zeb: the archive's and the PDF writing's,
# and Qt, which the PDF writing starts, keeps its notices to itself.
if(EXISTS "${WORK}/direct/bin/zeb-fiches")
  execute_process(COMMAND "${WORK}/direct/bin/zeb-fiches" --pdf "${WORK}/sample.pdf" "${SAMPLE}"
                  RESULT_VARIABLE failed ERROR_VARIABLE errors)
  if(failed OR NOT EXISTS "${WORK}/sample.pdf" OR errors MATCHES "XDG_RUNTIME_DIR")
    message(FATAL_ERROR "the installed zeb-fiches could not write a PDF quietly (${failed}): ${errors}")
  endif()
endif()

# Without a screen zeb06ce2 says so in French and stops with status 2, where Qt would abort in
# English. With one (offscreen here), it opens without Qt's notice of the missing runtime folder:
# the window stays open until the time limit ends it.
if(EXISTS "${WORK}/direct/bin/zeb06ce2")
  execute_process(COMMAND "${WORK}/direct/bin/zeb06ce2" "${SAMPLE}" RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 2 OR NOT errors MATCHES "^zeb06ce2 : pas d'écran ici")
    message(FATAL_ERROR "zeb06ce2 without a screen: status ${status}, ${errors}")
  endif()
  execute_process(COMMAND "${WORK}/direct/bin/zeb06ce2" -platform offscreen TIMEOUT 3
                  RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status MATCHES "timeout" OR errors MATCHES "XDG_RUNTIME_DIR")
    message(FATAL_ERROR "zeb06ce2 offscreen without XDG_RUNTIME_DIR: ${status}, ${errors}")
  endif()
endif()

set(ENV{DESTDIR} "${WORK}/staged")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix /usr
                RESULT_VARIABLE failed OUTPUT_QUIET)
unset(ENV{DESTDIR})
if(failed)
  message(FATAL_ERROR "cmake --install with DESTDIR failed: ${failed}")
endif()
foreach(cache mime/globs2 mime/mime.cache applications/mimeinfo.cache)
  if(EXISTS "${WORK}/staged/usr/share/${cache}")
    message(FATAL_ERROR "a staged install made ${cache}")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
