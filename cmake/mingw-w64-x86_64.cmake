# Builds Marvok for 64-bit Windows with Debian's mingw-w64 cross compiler,
# its posix thread model (std::thread and std::jthread), linked statically so
# that the programs need no compiler DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MARVOK_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${MARVOK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MARVOK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MARVOK_MINGW_TRIPLE}-windres)

# Libraries built for Windows by scripts/install-deps.sh --windows.
set(MARVOK_WINDOWS_DEPS ${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps CACHE PATH "Libraries built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/${MARVOK_MINGW_TRIPLE} ${MARVOK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
