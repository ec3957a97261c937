# Linux, 32-bit x86 (gcc -m32 from gcc-multilib/g++-multilib, zlib from
# lib32z1-dev): the portable code with size_t and long of 32 bits, as in the
# i686 Windows release, and its unit tests run under qemu-i386 (qemu-user),
# so they run whether or not the kernel executes 32-bit programs itself.
# This is no cross build for CMake (the system stays Linux): the tests keep
# their native form, one ctest test per case, each started through the
# emulator.
# Large-file support: fopen and stat take files of any size, as the Windows
# C runtime does, while fseek and ftell keep their 32-bit long, as there.
set(CMAKE_C_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
# The 32-bit libraries live in /usr/lib32 (which CMake does not search on
# Debian by itself); the host's 64-bit ones (libdeflate, libcdio) must not
# be picked up.
set(CMAKE_LIBRARY_PATH /usr/lib32)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib32/pkgconfig)
find_program(DI_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${DI_QEMU_I386})
