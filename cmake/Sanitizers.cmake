# Applies TALVEN_SANITIZE to every target of the tree, SDK sources included,
# so that instrumented and uninstrumented code never meet.
if(TALVEN_SANITIZE STREQUAL "address")
  # No vptr check: plug-in objects come from other binaries and are often no
  # C++ objects at all (DPF builds them as C structs with function tables).
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TALVEN_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TALVEN_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TALVEN_SANITIZE must be empty, 'address' or 'thread'")
endif()
