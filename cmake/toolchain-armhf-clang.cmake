# The armhf cross build with clang, for the fuzz target: the cross GCC's
# headers, libraries and C++ runtime, and clang's armhf runtimes from the
# resource folder that scripts/setup-machine.sh unpacks.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-armhf.cmake)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET arm-linux-gnueabihf)
set(CMAKE_CXX_COMPILER_TARGET arm-linux-gnueabihf)
set(CMAKE_C_FLAGS_INIT "-resource-dir=/usr/local/lib/kdt-clang-rt-armhf")
set(CMAKE_CXX_FLAGS_INIT "-resource-dir=/usr/local/lib/kdt-clang-rt-armhf")
