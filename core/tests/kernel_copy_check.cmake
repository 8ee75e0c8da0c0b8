# Run by ctest (KernelCopy.FilesOfACopyStopWithoutItsMacros): every file of
# the core and the benchmarks whose code belongs to a copy of the field
# kernels (it opens the copy's inline namespace), preprocessed by CXX without
# the macros the build gives a copy, must fail at common/kernel_copy.h's
# #error rather than compile into a namespace that no copy owns.
#   cmake -DCXX=COMPILER -DROOT=PROJECT_DIR -P kernel_copy_check.cmake
file(GLOB_RECURSE candidates ${ROOT}/core/*.h ${ROOT}/core/*.cpp ${ROOT}/bench/*.h ${ROOT}/bench/*.cpp)
set(files "")
foreach(file IN LISTS candidates)
  file(STRINGS ${file} opens REGEX "^inline namespace LUMORA_KERNEL_NS {$")
  if(opens)
    list(APPEND files ${file})
  endif()
endforeach()
list(LENGTH files count)
if(count LESS 20)
  message(FATAL_ERROR "only ${count} files of a copy found: the check would miss most of them")
endif()
set(unguarded "")
foreach(file IN LISTS files)
  execute_process(COMMAND ${CXX} -std=c++20 -E -I${ROOT}/core -x c++ ${file} -o /dev/null
                  RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
  if(status EQUAL 0 OR NOT errors MATCHES "compiled once per copy of the field kernels")
    list(APPEND unguarded ${file})
  endif()
endforeach()
if(unguarded)
  list(JOIN unguarded "\n  " unguarded)
  message(FATAL_ERROR "compiled without LUMORA_KERNEL_NS, these files would not stop at "
                      "common/kernel_copy.h's #error (include it):\n  ${unguarded}")
endif()
message(STATUS "${count} files of a copy stop without its macros")
