# Debian's i386 port (baseline processor i686) with Debian's cross compiler and the :i386 libraries
# installed beside the native ones through multiarch (tools/install-deps.sh i386). The programs run
# natively on an x86-64 machine, so the tests run as they are, without an emulator, unless one is
# given (-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386, for a kernel without 32-bit x86 programs).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
if(NOT DEFINED CACHE{CMAKE_CROSSCOMPILING_EMULATOR})
  set(CMAKE_CROSSCOMPILING_EMULATOR "")
endif()

# The arithmetic in SSE2 registers: double and single precision exactly as the x86-64 build computes
# them (see README, "i386").
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Libraries and CMake packages come from /usr/lib/i386-linux-gnu (CMAKE_LIBRARY_ARCHITECTURE picks
# that folder under /usr), the architecture-independent ones (CLI11, nlohmann_json) from
# /usr/share; programs (moc, rcc, lrelease, rsvg-convert) are the build machine's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Qt's build tools come from the native Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# pkg-config reads the i386 .pc files only, and Magick++'s, which tools/cross-magick.sh writes
# into the build folder (its development package cannot be installed beside the native one).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
get_property(asmpic_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT asmpic_in_try_compile)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../../tools/cross-magick.sh i386-linux-gnu
                          ${CMAKE_BINARY_DIR}/magick
                  COMMAND_ERROR_IS_FATAL ANY)
  set(ENV{PKG_CONFIG_PATH} ${CMAKE_BINARY_DIR}/magick/pkgconfig)
endif()
