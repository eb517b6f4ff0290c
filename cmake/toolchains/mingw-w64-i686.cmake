# Cross-builds the programs for 32-bit Windows with the mingw-w64 i686 compiler
# (Debian: g++-mingw-w64-i686). Headers and import libraries are the
# compiler's own; nothing is looked up on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QUORLANE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORLANE_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUORLANE_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${QUORLANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORLANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
