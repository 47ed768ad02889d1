# Lays out the program folder build/Kivo2/ like the installed program: the executable,
# the compiled Dutch catalogues, the link to jpegtran and the shipped companions.
find_program(MSGFMT msgfmt REQUIRED)
find_program(MSGCAT msgcat REQUIRED)

set(_mo_outputs)
foreach(lang nl)
  set(_locale_dir ${KIVO2_PROGRAM_DIR}/locale/${lang}/LC_MESSAGES)
  foreach(domain default corvo)
    # A domain's catalogue may be split into several files (po/nl/default-*.po), one per area.
    file(GLOB _po CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/po/${lang}/${domain}.po ${CMAKE_SOURCE_DIR}/po/${lang}/${domain}-*.po)
    if(_po)
      list(SORT _po)
      set(_mo ${_locale_dir}/${domain}.mo)
      add_custom_command(OUTPUT ${_mo}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_locale_dir}
        COMMAND ${CMAKE_COMMAND} -DMSGCAT=${MSGCAT} -DMSGFMT=${MSGFMT} -DOUT=${_mo}
                -DMERGED=${CMAKE_BINARY_DIR}/po-${lang}-${domain}.po "-DINPUTS=${_po}"
                -P ${CMAKE_SOURCE_DIR}/cmake/CompileCatalog.cmake
        DEPENDS ${_po} ${CMAKE_SOURCE_DIR}/cmake/CompileCatalog.cmake
        COMMENT "Compiling ${lang}/${domain}.mo"
        VERBATIM)
      list(APPEND _mo_outputs ${_mo})
    endif()
  endforeach()
endforeach()

# Shipped companions (lens list, sounds, help) are copied as they are.
file(GLOB_RECURSE _companions CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
set(_companion_outputs)
foreach(f ${_companions})
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/data ${f})
  add_custom_command(OUTPUT ${KIVO2_PROGRAM_DIR}/${rel}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${KIVO2_PROGRAM_DIR}/${rel}
    DEPENDS ${f})
  list(APPEND _companion_outputs ${KIVO2_PROGRAM_DIR}/${rel})
endforeach()

# The program icon beside the executable, where the launchers that the preferences make
# look for it (the sizes and the SVG stay in icons/hicolor, the window's in icons/kivo2.ico).
set(_program_icon ${KIVO2_PROGRAM_DIR}/kivo2.png)
add_custom_command(OUTPUT ${_program_icon}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/data/icons/hicolor/256x256/apps/kivo2.png ${_program_icon}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/icons/hicolor/256x256/apps/kivo2.png)
list(APPEND _companion_outputs ${_program_icon})

find_program(SYSTEM_JPEGTRAN jpegtran)
set(_jpegtran_link ${KIVO2_PROGRAM_DIR}/jpegtran/jpegtran)
if(SYSTEM_JPEGTRAN)
  add_custom_command(OUTPUT ${_jpegtran_link}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KIVO2_PROGRAM_DIR}/jpegtran
    COMMAND ${CMAKE_COMMAND} -E create_symlink ${SYSTEM_JPEGTRAN} ${_jpegtran_link}
    COMMENT "Linking jpegtran into the program folder")
else()
  set(_jpegtran_link)
endif()

add_custom_target(kivo2_program_folder ALL DEPENDS ${_mo_outputs} ${_companion_outputs} ${_jpegtran_link})
