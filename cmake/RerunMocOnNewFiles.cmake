# Targets with globbed sources: when the file list changes, drop the target's
# autogen stamp so moc runs again. Otherwise a Q_OBJECT header added to an
# existing build tree links without its meta-object code.
function(vocarta_rerun_moc_on_new_files target)
  set(sources ${ARGN})
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_sources.txt")
  set(previous "")
  if(EXISTS "${list_file}")
    file(READ "${list_file}" previous)
  endif()
  if(NOT previous STREQUAL "${sources}")
    file(WRITE "${list_file}" "${sources}")
    file(REMOVE "${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp")
  endif()
endfunction()
