# Cross-compiling for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu,
# the programs and tests linked statically and run under qemu's user-mode
# emulator (qemu-user-static):
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# ctest then runs every test through the emulator. GoogleTest is built for
# the target from the sources Debian ships in /usr/src/googletest.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static executables need no target libraries at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(PAIRTERMS_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64)
if(PAIRTERMS_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PAIRTERMS_QEMU_AARCH64})
endif()
