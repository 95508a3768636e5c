# Warnings are errors on every target of ours.
function(vornal_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -Wshadow)
endfunction()
