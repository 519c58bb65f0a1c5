# Cross-builds for 64-bit ARM Debian (Raspberry Pi OS bookworm) on an amd64 Debian machine:
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake
# Needs the arm64 architecture added to dpkg and crossbuild-essential-arm64, qt6-base-dev:arm64,
# qt6-serialport-dev:arm64 (libgtest-dev:arm64 for the tests) and qemu-user-static, which runs
# the arm64 programs here; ./scripts/test --platforms installs them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(vellicor_triplet aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${vellicor_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${vellicor_triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${vellicor_triplet})

# Debian's multiarch layout keeps the arm64 libraries and their CMake packages under /usr
# beside the amd64 ones (/usr/lib/aarch64-linux-gnu), so the root stays /; the library
# architecture above picks the arm64 ones. Programs found are the build machine's own.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config (which Qt's packages may call) reads the arm64 descriptions alone.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${vellicor_triplet}/pkgconfig:/usr/share/pkgconfig)

# moc, rcc and uic come from the build machine's Qt, which must be the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# The tests (and the discovery of GoogleTest cases at build time) run the arm64 programs under
# qemu's user-mode emulator, named here since nothing else tells the kernel how to start them.
# No -L: the arm64 loader and libraries are those of Debian's libc6:arm64, which Qt's arm64
# packages bring, rather than the cross compiler's own older copy, which must not be mixed with
# them. Cached, so that scripts (scripts/check-install) find it in the tree.
find_program(VELLICOR_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLICOR_QEMU_AARCH64}
    CACHE STRING "How this machine runs the arm64 programs")

# cpack -G DEB names the package and works out its dependencies for arm64.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
