# One options target that every project library and executable links.
add_library(quorvel_options INTERFACE)
target_compile_options(quorvel_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough
  # Designated initialisers that leave fields at their defaults are the intended idiom.
  -Wno-missing-field-initializers)
if(QUORVEL_WERROR)
  target_compile_options(quorvel_options INTERFACE -Werror)
endif()
if(QUORVEL_SANITIZE)
  # The product's code is instrumented; the tests' own code (marked QUORVEL_TEST_CODE) is not: it
  # doubled the compile time of the test files for faults in test code alone. Every program links
  # the sanitizers' runtime, so the product's code reports as usual wherever it runs.
  target_compile_options(quorvel_options INTERFACE
    $<$<NOT:$<BOOL:$<TARGET_PROPERTY:QUORVEL_TEST_CODE>>>:-fsanitize=address$<COMMA>undefined>
    $<$<NOT:$<BOOL:$<TARGET_PROPERTY:QUORVEL_TEST_CODE>>>:-fno-sanitize-recover=all>
    -fno-omit-frame-pointer)
  target_link_options(quorvel_options INTERFACE -fsanitize=address,undefined)
endif()
if(QUORVEL_FUZZ)
  target_compile_options(quorvel_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-omit-frame-pointer)
  target_link_options(quorvel_options INTERFACE -fsanitize=address,undefined)
endif()
