# VELKORA_SANITIZE applies to every target of the build (ours and tests).
if(VELKORA_SANITIZE)
  add_compile_options(-fsanitize=${VELKORA_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${VELKORA_SANITIZE})
  if(VELKORA_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports false maybe-uninitialized warnings inside <regex> when
    # sanitizers are on; the warning stays on in the ordinary build.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()
