# The engine's side of the binary interface, built the engine's way: engine_abi_sources().
#
# Windows: the engine, its script runtime and tier0.dll are built with Microsoft's C++
# compiler, so the DLL's binary interface is Microsoft's 32-bit C++ ABI. The stand-ins' engine objects and
# the layout test are therefore compiled the engine's way: clang for i686-pc-windows-msvc
# gives COFF objects that the MinGW linker takes into a MinGW program or DLL.
#
# Such a file may use no Microsoft runtime: no static constructors (constant-initialised or
# stack objects only), no new/delete, no library headers beyond the freestanding C ones
# (<stdint.h>, <stdarg.h>, <stddef.h>). Code that uses floating point needs _fltused, which
# engine_abi_sources() links into every such target (hosts/engine_abi/float_marker_msvc.cpp).
#
# Linux: the engine and its base library are built with GCC for i386, the Itanium C++ ABI,
# which is the Linux build's own: such a file is compiled as any other of the target.

if(NOT WIN32)
  function(engine_abi_sources target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;INCLUDES;DEFINES")
    target_sources(${target} PRIVATE ${ARG_SOURCES})
    target_include_directories(${target} PRIVATE ${ARG_INCLUDES})
    target_compile_definitions(${target} PRIVATE ${ARG_DEFINES})
  endfunction()
  return()
endif()

find_program(MOUNT_ENGINE_CXX NAMES clang clang-14 REQUIRED)

set(MOUNT_ENGINE_ABI_FLAGS
    --target=i686-pc-windows-msvc -std=c++20 -O2 -ffreestanding -fno-exceptions -fno-rtti
    -fno-threadsafe-statics -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion -Werror)

# engine_abi_sources(TARGET SOURCES file... [INCLUDES dir...] [DEFINES name=value...])
# Compiles each file for the Microsoft ABI and links the object into TARGET.
function(engine_abi_sources target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;INCLUDES;DEFINES")
  set(options ${MOUNT_ENGINE_ABI_FLAGS})
  foreach(directory IN LISTS ARG_INCLUDES)
    list(APPEND options -I${directory})
  endforeach()
  foreach(definition IN LISTS ARG_DEFINES)
    list(APPEND options -D${definition})
  endforeach()
  set(directory ${CMAKE_CURRENT_BINARY_DIR}/engine_abi/${target})
  file(MAKE_DIRECTORY ${directory})
  # Every such target gets the marker that Microsoft's floating-point code asks the linker for.
  list(APPEND ARG_SOURCES ${PROJECT_SOURCE_DIR}/hosts/engine_abi/float_marker_msvc.cpp)
  foreach(source IN LISTS ARG_SOURCES)
    get_filename_component(path ${source} ABSOLUTE)
    get_filename_component(name ${source} NAME_WE)
    set(object ${directory}/${name}.obj)
    add_custom_command(
      OUTPUT ${object}
      COMMAND ${MOUNT_ENGINE_CXX} ${options} -MD -MF ${object}.d -c ${path} -o ${object}
      DEPENDS ${path}
      DEPFILE ${object}.d
      COMMENT "Building ${name}.obj the engine's way (Microsoft ABI)"
      VERBATIM)
    target_sources(${target} PRIVATE ${object})
  endforeach()
endfunction()
