# talven_warnings(target): the project's own code builds warning-free.
function(talven_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
