# velkora_product(target): a library of the plug-in itself. One include root
# for all of them: includes name the folder from the repository root
# ("values/ValueList.h", "midi/PortManager.h"), and the SDK's headers come as
# FMWrapper/... through values/Sdk.h. VELKORA_PRODUCT makes the stand-in
# host's own header (FMXHost.h) refuse to compile in them.
function(velkora_product target)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${target} PRIVATE VELKORA_PRODUCT)
  velkora_warnings(${target})
endfunction()
