# cmake -DFOLDER=.../ZEB -DOUTPUT=files.nsh -P ListFiles.cmake: the uninstaller's lines that
# remove what the installer put in place, file by file and folder by folder, so that nothing
# else in the installation folder is ever removed.
file(GLOB_RECURSE files RELATIVE ${FOLDER} LIST_DIRECTORIES false ${FOLDER}/*)
file(GLOB_RECURSE folders RELATIVE ${FOLDER} LIST_DIRECTORIES true ${FOLDER}/*)
list(SORT files)
set(lines "")
foreach(file ${files})
  string(REPLACE "/" "\\" file "${file}")
  string(APPEND lines "Delete \"$INSTDIR\\${file}\"\n")
endforeach()
# The deepest folders first; a folder that still holds something of the user's stays.
list(SORT folders ORDER DESCENDING)
foreach(folder ${folders})
  if(IS_DIRECTORY ${FOLDER}/${folder})
    string(REPLACE "/" "\\" folder "${folder}")
    string(APPEND lines "RMDir \"$INSTDIR\\${folder}\"\n")
  endif()
endforeach()
file(WRITE ${OUTPUT} "${lines}")
