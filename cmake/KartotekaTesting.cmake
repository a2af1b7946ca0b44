# kartoteka_add_test(NAME <name> SOURCES <files...> LIBS <libs...> [GUI]
#                    [X_SERVER <private-x options...>] [LABELS <labels...>])
# One Qt Test executable per unit, registered with CTest. GUI tests run on the
# offscreen platform with a 1024 x 768 screen unless the test chooses otherwise.
# X_SERVER runs the test on a private X server of its own (scripts/private-x,
# given the options that follow, e.g. --layout ru --wm); such tests run one at
# a time, since real key presses get lost on a machine busy with other tests.
function(kartoteka_add_test)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;X_SERVER" ${ARGN})
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
  if(DEFINED T_X_SERVER OR "X_SERVER" IN_LIST T_KEYWORDS_MISSING_VALUES)
    add_test(NAME ${T_NAME} COMMAND ${PROJECT_SOURCE_DIR}/scripts/private-x ${T_X_SERVER} -- $<TARGET_FILE:${T_NAME}>)
    set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  set(env "QT_QPA_PLATFORM=offscreen:configfile=${PROJECT_SOURCE_DIR}/tests/support/screen-1024x768.json"
          "KARTOTEKA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
          "KARTOTEKA_BINARY_DIR=${CMAKE_BINARY_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()
