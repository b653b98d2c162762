# The .xlsx reader's tests build packages and compound files in memory with libgsf.
if(TARGET engine_tests)
  target_link_libraries(engine_tests PRIVATE PkgConfig::GSF)
endif()
# Replays the .xlsx fuzz target over its fixtures (hostile packages included) under plain ctest.
if(TARGET fuzz_xlsx AND NOT LEDGERIX_FUZZ)
  add_test(NAME fuzz_xlsx_replay
           COMMAND fuzz_xlsx ${CMAKE_CURRENT_SOURCE_DIR}/data/xlsx)
  set_tests_properties(fuzz_xlsx_replay PROPERTIES LABELS engine TIMEOUT 120)
endif()
# Replays the .xls fuzz target over its fixtures under plain ctest.
if(TARGET fuzz_xls AND NOT LEDGERIX_FUZZ)
  add_test(NAME fuzz_xls_replay COMMAND fuzz_xls ${CMAKE_CURRENT_SOURCE_DIR}/data/xls)
  set_tests_properties(fuzz_xls_replay PROPERTIES LABELS engine TIMEOUT 120)
endif()
