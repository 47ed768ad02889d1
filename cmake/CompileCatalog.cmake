# cmake -DMSGCAT=.. -DMSGFMT=.. -DOUT=file.mo -DMERGED=file.po -DINPUTS="a.po;b.po" -P CompileCatalog.cmake
# Merges the fragments of one catalogue (the first translation of a text wins) and compiles it.
file(REMOVE ${MERGED})
execute_process(COMMAND ${MSGCAT} --use-first -o ${MERGED} ${INPUTS} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msgcat failed on ${INPUTS}")
endif()
if(NOT EXISTS ${MERGED})
  # msgcat writes nothing when the fragments hold no message yet: compile the header alone.
  list(GET INPUTS 0 first)
  configure_file(${first} ${MERGED} COPYONLY)
endif()
execute_process(COMMAND ${MSGFMT} --check-format -o ${OUT} ${MERGED} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msgfmt failed on ${MERGED}")
endif()
