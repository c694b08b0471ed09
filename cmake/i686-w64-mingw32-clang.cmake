# Cross build with Clang against the mingw-w64 headers and libraries (a check that the sources
# are not tied to GCC); linked by the mingw-w64 binutils' linker.
include(${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
# The posix-thread libstdc++ and libgcc of the GCC cross compiler.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE _libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_gcc_dir "${_libgcc}" DIRECTORY)
set(CMAKE_SYSROOT_COMPILE "")
set(CMAKE_CXX_FLAGS_INIT "-isystem ${_gcc_dir}/include/c++ -isystem ${_gcc_dir}/include/c++/${TOOLCHAIN_PREFIX}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${_gcc_dir}")
# libgcc_eh of the posix thread model needs winpthread, which the driver adds for -pthread.
set(CMAKE_EXE_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT} -pthread")
