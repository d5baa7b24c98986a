# Warnings for the project's own targets; kept in one function so that every library
# and test gets the same set.
function(kelvory_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
endfunction()
