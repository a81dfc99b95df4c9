# AddressSanitizer + UndefinedBehaviorSanitizer for the whole tree.
if(KSV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  # The test run starts sanitized programs well over a thousand times. Each
  # carries a record for every check site, with a pointer that a
  # position-independent program relocates at every start (ksvcam's test
  # program: 1.5 million relocations); a position-dependent one has them
  # fixed by the linker, which saves a fifth of its start.
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -no-pie")
endif()

# ThreadSanitizer, for the tests labelled "threaded".
if(KSV_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# What a program that is not sanitized (GStreamer's tools, scanimage) must
# preload to load one of our sanitized plug-ins: the sanitizer's run-time,
# and the C++ library, so that the run-time's interceptor of C++
# exceptions finds the real one at start (those programs are C). Empty in
# the other flavours. Passed to the tool tests as one space-separated word.
set(KSV_SANITIZER_PRELOAD "")
if(KSV_SANITIZE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE ksv_asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so
                  OUTPUT_VARIABLE ksv_cxx_library OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(KSV_SANITIZER_PRELOAD "${ksv_asan_runtime} ${ksv_cxx_library}")
endif()
