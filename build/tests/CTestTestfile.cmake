# CMake generated Testfile for 
# Source directory: /work/main/tests
# Build directory: /work/main/build/tests
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
include("/work/main/build/tests/kqopt_unit_tests[1]_include.cmake")
add_test([=[host.interpreter]=] "bash" "/work/main/tests/host/interpreter.sh" "/work/main/build/out/kqopt" "/work/main")
set_tests_properties([=[host.interpreter]=] PROPERTIES  _BACKTRACE_TRIPLES "/work/main/tests/CMakeLists.txt;34;add_test;/work/main/tests/CMakeLists.txt;0;")
add_test([=[host.message_file]=] "bash" "/work/main/tests/host/message_file.sh" "/work/main/build/out/kqopt" "/work/main")
set_tests_properties([=[host.message_file]=] PROPERTIES  _BACKTRACE_TRIPLES "/work/main/tests/CMakeLists.txt;34;add_test;/work/main/tests/CMakeLists.txt;0;")
add_test([=[api.c_program]=] "/work/main/build/out/kqopt_c_api_check")
set_tests_properties([=[api.c_program]=] PROPERTIES  WORKING_DIRECTORY "/work/main/build" _BACKTRACE_TRIPLES "/work/main/tests/CMakeLists.txt;42;add_test;/work/main/tests/CMakeLists.txt;0;")
