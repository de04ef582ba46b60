# Cross build for 64-bit ARM Linux with Debian's GNU toolchain, run and tested
# under qemu's user-mode emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The program stays linked dynamically, as the package ships it. The emulator
# runs the ARM loader from the cross toolchain's tree, which loads the program
# with the libraries from there; that also lets the tests preload their
# fault-injecting modules into the tool. (qemu's -L would do the same, but it
# also looks up every absolute path the program opens in that tree first, and
# "/" is found there.)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64 /usr/aarch64-linux-gnu/lib/ld-linux-aarch64.so.1
                                  --library-path /usr/aarch64-linux-gnu/lib)
