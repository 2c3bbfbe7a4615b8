# ctest includes this before it runs the tests: every test function of the
# GUI test program becomes a ctest test of its own, gui.<Class>.<function>,
# so that a failure is named and a new test function needs no list kept by
# hand. The list is made again whenever the program is newer than it.
#
# Set by the includer: GUI_TEST_PROGRAM, GUI_TEST_LIST (the file of ctest
# commands made from the program's list), GUI_TEST_TIMEOUT, CMAKE_COMMAND.
if(NOT EXISTS "${GUI_TEST_PROGRAM}")
  add_test(gui_NOT_BUILT "${GUI_TEST_PROGRAM}")
  return()
endif()
if(NOT EXISTS "${GUI_TEST_LIST}" OR "${GUI_TEST_PROGRAM}" IS_NEWER_THAN "${GUI_TEST_LIST}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen "${GUI_TEST_PROGRAM}" --list
                  OUTPUT_VARIABLE listed ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 120)
  if(NOT result EQUAL 0)
    # A test that fails and says why, rather than no GUI tests at all.
    add_test(gui_LIST_FAILED "${CMAKE_COMMAND}" -E echo "test_gui --list: ${result} ${errors}")
    set_tests_properties(gui_LIST_FAILED PROPERTIES WILL_FAIL ON)
    return()
  endif()
  string(REPLACE "\n" ";" listed "${listed}")
  set(commands "")
  foreach(line IN LISTS listed)
    if(line MATCHES "^([A-Za-z_][A-Za-z_0-9]*) ([A-Za-z_][A-Za-z_0-9]*)$")
      set(name "gui.${CMAKE_MATCH_1}.${CMAKE_MATCH_2}")
      string(APPEND commands
        "add_test(\"${name}\" \"${GUI_TEST_PROGRAM}\" ${CMAKE_MATCH_1} ${CMAKE_MATCH_2})\n"
        "set_tests_properties(\"${name}\" PROPERTIES TIMEOUT ${GUI_TEST_TIMEOUT}"
        " ENVIRONMENT QT_QPA_PLATFORM=offscreen)\n")
    endif()
  endforeach()
  file(WRITE "${GUI_TEST_LIST}" "${commands}")
endif()
include("${GUI_TEST_LIST}")
