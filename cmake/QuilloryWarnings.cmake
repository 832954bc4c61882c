function(quillory_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -ffp-contract=off)
endfunction()
