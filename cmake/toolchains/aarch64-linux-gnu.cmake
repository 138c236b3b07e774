# Cross build for 64-bit ARM (Debian's arm64 port) with Debian's cross compiler and the :arm64
# libraries installed beside the native ones (multiarch). The programs and tests run under
# qemu-aarch64: ctest and the test discovery start every arm64 program through it.
#   cmake --preset arm64      (tools/install-deps.sh arm64 installs what this needs)
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Libraries, headers and CMake packages for arm64 only; programs (moc, rcc, pkg-config) from the
# machine that builds.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's code generators are the native ones.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# The emulator loads the programs with the arm64 C library of the multiarch packages
# (/lib/ld-linux-aarch64.so.1, libc6:arm64), not with the cross compiler's copy in
# /usr/aarch64-linux-gnu (-L): that loader with the other package's libc.so.6 hangs in the
# first pthread_create.
find_program(ASMPIC_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ASMPIC_QEMU_AARCH64})

# pkg-config reads arm64's own files, and ImageMagick's, which tools/cross-magick.sh writes into
# the build folder once (its development package cannot be installed beside the native one).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
get_property(in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT in_try_compile)
  set(magick ${CMAKE_BINARY_DIR}/magick-arm64)
  if(NOT EXISTS ${magick}/pkgconfig/Magick++.pc)
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../../tools/cross-magick.sh aarch64-linux-gnu ${magick}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "tools/cross-magick.sh failed: ImageMagick's arm64 runtime is needed "
                          "(tools/install-deps.sh arm64)")
    endif()
  endif()
  set(ENV{PKG_CONFIG_PATH} ${magick}/pkgconfig)
endif()
