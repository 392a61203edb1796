# Cross-compiling the programs for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
# The compilers of the POSIX thread model: their standard library has std::thread (the win32
# model's has none); its threads library is linked in statically like the rest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# zlib (Debian: libz-mingw-w64-dev) linked statically, not through its DLL's import library, so
# that the executables run on a bare Windows.
set(ZLIB_USE_STATIC_LIBS ON)
if(EXISTS ${CMAKE_FIND_ROOT_PATH}/lib/libz.a)
  set(ZLIB_LIBRARY ${CMAKE_FIND_ROOT_PATH}/lib/libz.a CACHE FILEPATH "zlib, linked statically")
endif()
