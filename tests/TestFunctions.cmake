# Run as a script after an area's executable is built: writes OUTPUT, one ctest test
# "<AREA>.<function>" for each test function that the Qt Test EXECUTABLE lists (-functions).
execute_process(COMMAND ${EXECUTABLE} -functions
                OUTPUT_VARIABLE listing
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${EXECUTABLE} -functions failed: ${result}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z_0-9]*\\(\\)" functions "${listing}")
if(NOT functions)
    message(FATAL_ERROR "${EXECUTABLE} -functions listed no test function")
endif()
set(tests "")
foreach(function IN LISTS functions)
    string(REPLACE "()" "" function "${function}")
    string(APPEND tests
        "add_test([==[${AREA}.${function}]==] [==[${EXECUTABLE}]==] [==[${function}]==])\n"
        "set_tests_properties([==[${AREA}.${function}]==] PROPERTIES TIMEOUT 300 "
        "ENVIRONMENT QT_QPA_PLATFORM=offscreen)\n")
endforeach()
file(WRITE "${OUTPUT}" "${tests}")
