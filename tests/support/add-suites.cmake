# Registers a test program's tests with ctest, one ctest test per suite: a suite's tests share one
# process, so the program's start (a Qt application, a web engine, the sanitizers' set-up) is paid
# once per suite instead of once per test. The tests named in ALONE each get a process of their
# own: tests that are long on their own, or that measure what they cost.
# Run after each build of the program:
#   cmake -D EXECUTABLE=... -D OUTPUT=... [-D ALONE=Suite.Test:...] [-D EACH=ON]
#         [-D ENVIRONMENT=...] -P add-suites.cmake
# EACH=ON gives every test its own process.
cmake_minimum_required(VERSION 3.25)

set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND "${EXECUTABLE}" --gtest_list_tests
    OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 60)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${EXECUTABLE} could not list its tests (${result}):\n${listing}${errors}")
endif()

string(REPLACE ":" ";" alone "${ALONE}")
set(script "")

function(append_test name filter timeout)
    string(APPEND script "add_test([==[${name}]==] [==[${EXECUTABLE}]==] "
        "[==[--gtest_filter=${filter}]==])\n"
        "set_tests_properties([==[${name}]==] PROPERTIES ENVIRONMENT [==[${ENVIRONMENT}]==] "
        "TIMEOUT ${timeout})\n")
    set(script "${script}" PARENT_SCOPE)
endfunction()

# A suite's tests are added when the next suite, or the end, is reached.
function(append_suite suite tests)
    set(left "")
    foreach(test IN LISTS tests)
        if(EACH OR "${suite}.${test}" IN_LIST alone)
            append_test("${suite}.${test}" "${suite}.${test}" 120)
            list(REMOVE_ITEM alone "${suite}.${test}")
        else()
            list(APPEND left "${suite}.${test}")
        endif()
    endforeach()
    if(left)
        list(LENGTH tests all)
        list(LENGTH left kept)
        if(kept EQUAL all)
            append_test("${suite}" "${suite}.*" 300)
        else()
            string(REPLACE ";" ":" filter "${left}")
            append_test("${suite}" "${filter}" 300)
        endif()
    endif()
    set(script "${script}" PARENT_SCOPE)
    set(alone "${alone}" PARENT_SCOPE)
endfunction()

# The listing: "Suite." lines, each followed by its "  Test" lines (a comment may follow either,
# for typed and parameterised tests). gtest_main prints a line of its own first.
string(REPLACE "\n" ";" lines "${listing}")
set(suite "")
set(tests "")
foreach(line IN LISTS lines)
    if(line MATCHES "^([A-Za-z0-9_/]+)\\.( .*)?$")
        if(suite)
            append_suite("${suite}" "${tests}")
        endif()
        set(suite "${CMAKE_MATCH_1}")
        set(tests "")
    elseif(suite AND line MATCHES "^  ([A-Za-z0-9_/]+)")
        list(APPEND tests "${CMAKE_MATCH_1}")
    endif()
endforeach()
if(suite)
    append_suite("${suite}" "${tests}")
endif()

# A test renamed or removed must not quietly join its suite again.
if(alone)
    message(FATAL_ERROR "${EXECUTABLE} has no test ${alone}, which is to run alone")
endif()
file(WRITE "${OUTPUT}" "${script}")
