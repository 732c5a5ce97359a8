# Compiler settings shared by every target of the project (not by third-party code).

# Warnings are errors in every build.
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
  # engine's own compilers give by default. For Windows the guard and its failure path are
  # the DLL's own (support/stack_guard.h); on Linux the C library's.
  target_compile_options(${target} PRIVATE -fstack-protector-strong)
  # The same source gives the same bytes wherever it was checked out and built: the debug
  # information names the files relative to the checkout (the build folder first, should it
  # lie elsewhere), not by the builder's paths.
  target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                                           -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  if(NOT MOUNT_PLATFORM STREQUAL "native")
    # Plain i686: the server may run on a processor without SSE. Only the SSE, SSE2 and
    # 3DNow! routine files raise the instruction set, file by file. Debug information goes
    # into the release's symbol file, for reading crash reports; it changes no code.
    target_compile_options(${target} PRIVATE -march=i686 -mfpmath=387 -g)
  endif()
  if(MOUNT_PLATFORM STREQUAL "linux")
    # A shared object's code. Its version script keeps everything but the exports inside, so
    # nothing is interposed from outside. The engine promises no more than 4-byte stack
    # alignment on entry, as on Windows, where the compiler assumes just that.
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_compile_options(${target} PRIVATE -fno-semantic-interposition
                                             -mincoming-stack-boundary=2)
  endif()
  if(MOUNT_PLATFORM STREQUAL "linux" AND MOUNT_PRODUCT)
    # As the platform's hardening expects: the C library's checked forms of the functions
    # whose buffers the compiler can measure (they need optimisation, which a sanitizer build
    # goes without).
    target_compile_definitions(${target} PRIVATE _FORTIFY_SOURCE=2)
    # Frames larger than a page (a console variable's copy of its old text) probe each page.
    target_compile_options(${target} PRIVATE -fstack-clash-protection)
  endif()
endfunction()

if(WIN32)
  # The GCC and C++ runtimes are linked in, so the DLLs and programs need nothing from
  # the compiler at run time.
  add_link_options(-static-libgcc -static-libstdc++ -static)
  # No link time in the PE header: the same source links to the same bytes.
  add_link_options(-Wl,--no-insert-timestamp)
elseif(MOUNT_PRODUCT)
  # The same on Linux: the library and the stand-ins need only glibc's libraries.
  add_link_options(-static-libgcc -static-libstdc++)
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
