# The posix thread model gives std::thread and std::mutex; winpthread is
# linked statically with the rest of the runtime.
set(CMAKE_C_COMPILER ${TESRA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESRA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TESRA_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TESRA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
