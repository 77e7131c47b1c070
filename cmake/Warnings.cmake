# Warnings for our own targets: velkora_warnings(target).
function(velkora_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${VELKORA_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${VELKORA_WERROR}>:-Werror>)
  endif()
endfunction()
