# Where `cmake --install` and the package put things. On Linux the programs go to
# <prefix>/bin and what they ship (plot devices, plot style tables, fonts, help file) to
# <prefix>/share/vormex, which the programs find relative to their own folder (see
# src/common/include/common/ProgramData.h); on Windows the data lies beside the programs.
include(GNUInstallDirs)
if(WIN32)
    set(VORMEX_INSTALL_BINDIR .)
    set(VORMEX_INSTALL_DATADIR .)
else()
    set(VORMEX_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
    set(VORMEX_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/vormex)
endif()
file(RELATIVE_PATH VORMEX_DATA_FROM_PROGRAM /prefix/${VORMEX_INSTALL_BINDIR}
     /prefix/${VORMEX_INSTALL_DATADIR})
if(VORMEX_DATA_FROM_PROGRAM STREQUAL "")
    set(VORMEX_DATA_FROM_PROGRAM .)
endif()

# The version as the About box writes it: 1.0.02.
string(LENGTH "${PROJECT_VERSION_PATCH}" patch_digits)
if(patch_digits LESS 2)
    set(VORMEX_VERSION_TEXT ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0${PROJECT_VERSION_PATCH})
else()
    set(VORMEX_VERSION_TEXT ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
endif()

# The files a part ships with the programs, into the data folder (or a subfolder of it).
# vormex_install_data(<subfolder or .> <files>...)
function(vormex_install_data subfolder)
    install(FILES ${ARGN} DESTINATION ${VORMEX_INSTALL_DATADIR}/${subfolder})
endfunction()
