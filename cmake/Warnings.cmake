# Warnings for our own targets: velkora_warnings(target), which every target
# of ours calls. It also sets the language, C++17 (extensions off, see
# CMakeLists.txt), public so that whatever uses a library compiles its headers
# at that level too.
function(velkora_warnings target)
  target_compile_features(${target} PUBLIC cxx_std_17)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${VELKORA_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${VELKORA_WERROR}>:-Werror>)
  endif()
endfunction()
