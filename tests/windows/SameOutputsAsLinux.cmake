# cmake -DWINE_RUN=... -DHOST_ROOT=Z: -DPROGRAM=... -DHOST_PROGRAM=... -DSAMPLE=... -DWORK=... -P SameOutputsAsLinux.cmake
# zeb-fiches built for Windows, run under Wine, writes the same scores, synthesis and groups (byte
# for byte) as the Linux build, and sheets whose text and page count poppler reads alike: once
# with plain paths, once from a folder "Hélène/CE2 A" on the export "CE2 A.jad" there.
# WINE_RUN is the emulator's command, its words separated by "|"; HOST_ROOT is where the Windows
# program finds this machine's files (Wine's Z:).
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" wineRun "${WINE_RUN}")
foreach(tool pdftotext pdfinfo)
  find_program(${tool}_program ${tool} REQUIRED)
endforeach()
get_filename_component(hostFolder "${HOST_PROGRAM}" DIRECTORY)
foreach(file "${HOST_PROGRAM}" "${hostFolder}/libunzdll.so" "${hostFolder}/libzebpdf.so")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} est introuvable : construisez zeb-fiches, unzdll et zebpdf sous Linux "
                        "dans le dossier que donne ZEB_HOST_BUILD")
  endif()
endforeach()

set(csvOptions --csv scores.csv --synthese-csv synthese.csv --groupes-csv groupes.csv)

# run(FOLDER EXPORT COMMAND...): the command writes the outputs into FOLDER, its current folder.
function(run folder export)
  execute_process(COMMAND ${ARGN} ${csvOptions} --pdf fiches.pdf "${export}"
                  WORKING_DIRECTORY "${folder}" RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(failed)
    message(FATAL_ERROR "${ARGN} a échoué (${failed}) dans ${folder} :\n${out}${err}")
  endif()
endfunction()

# The text of a PDF in the order it was drawn, and its page count, as poppler reads them. (The order
# poppler would read it in depends on the fonts' boxes, which Windows writes otherwise.)
function(read_pdf pdf textVariable pagesVariable)
  execute_process(COMMAND ${pdftotext_program} -raw "${pdf}" - OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  execute_process(COMMAND ${pdfinfo_program} "${pdf}" OUTPUT_VARIABLE info RESULT_VARIABLE failedInfo)
  if(failed OR failedInfo OR NOT info MATCHES "\nPages: +([0-9]+)")
    message(FATAL_ERROR "poppler ne lit pas ${pdf}")
  endif()
  set(${textVariable} "${text}" PARENT_SCOPE)
  set(${pagesVariable} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

function(compare reference folder)
  foreach(csv scores.csv synthese.csv groupes.csv)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${reference}/${csv}" "${folder}/${csv}"
                    RESULT_VARIABLE differ)
    if(differ)
      message(FATAL_ERROR "${folder}/${csv} diffère de celui de Linux (${reference}/${csv})")
    endif()
  endforeach()
  read_pdf("${reference}/fiches.pdf" linuxText linuxPages)
  read_pdf("${folder}/fiches.pdf" windowsText windowsPages)
  if(NOT windowsPages EQUAL linuxPages)
    message(FATAL_ERROR "${folder}/fiches.pdf a ${windowsPages} pages, celui de Linux ${linuxPages}")
  endif()
  if(NOT windowsText STREQUAL linuxText)
    file(WRITE "${folder}/fiches-windows.txt" "${windowsText}")
    file(WRITE "${folder}/fiches-linux.txt" "${linuxText}")
    message(FATAL_ERROR "Le texte de ${folder}/fiches.pdf diffère de celui de Linux : "
                        "diff ${folder}/fiches-linux.txt ${folder}/fiches-windows.txt")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
set(accented "${WORK}/Hélène/CE2 A")
file(MAKE_DIRECTORY "${WORK}/linux" "${WORK}/windows" "${accented}")
file(COPY_FILE "${SAMPLE}" "${accented}/CE2 A.jad")

run("${WORK}/linux" "${SAMPLE}" "${HOST_PROGRAM}")
run("${WORK}/windows" "${HOST_ROOT}${SAMPLE}" ${wineRun} "${PROGRAM}")
compare("${WORK}/linux" "${WORK}/windows")
run("${accented}" "CE2 A.jad" ${wineRun} "${PROGRAM}")
compare("${WORK}/linux" "${accented}")
