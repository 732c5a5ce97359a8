# Compiler settings shared by every target of the project (not by third-party code).

# Warnings are errors in both builds.
function(mount_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Werror)
endfunction()

# The product's own code: no exceptions or RTTI (failures travel as return values), and
# `new` results are checked because the routed allocator answers a failure with null.
function(mount_product_code target)
  mount_strict(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fcheck-new)
  # A stack protector on every function with an array or an address-taken local, as the
  # engine's own compiler gives by default. For Windows the guard and its failure path are
  # the DLL's own (support/stack_guard.h); natively the C library's.
  target_compile_options(${target} PRIVATE -fstack-protector-strong)
  # The same source gives the same bytes wherever it was checked out and built: the debug
  # information names the files relative to the checkout (the build folder first, should it
  # lie elsewhere), not by the builder's paths.
  target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                                           -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  if(WIN32)
    # Plain i686: the server may run on a processor without SSE. Only the SSE, SSE2 and
    # 3DNow! routine files raise the instruction set, file by file.
    target_compile_options(${target} PRIVATE -march=i686 -mfpmath=387)
  endif()
endfunction()

if(WIN32)
  # The GCC and C++ runtimes are linked in, so the DLLs and programs need nothing from
  # the compiler at run time.
  add_link_options(-static-libgcc -static-libstdc++ -static)
  # No link time in the PE header: the same source links to the same bytes.
  add_link_options(-Wl,--no-insert-timestamp)
endif()

if(MOUNT_SANITIZE STREQUAL "address")
  # The vptr check needs type information, which the product code is built without.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(MOUNT_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread)
  add_link_options(-fsanitize=thread)
endif()

if(MOUNT_FUZZ)
  # Library and stand-in code carry coverage for libFuzzer; the targets link its driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=vptr
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
