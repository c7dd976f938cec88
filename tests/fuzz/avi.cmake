# Clip reader, integrity check, chunk scan and index rebuild on arbitrary
# bytes, seeded with intact and damaged clips from clipforge.
if(TARGET clipforge)
  set(_avi_seeds SEED_COMMAND $<TARGET_FILE:clipforge> seeds)
else()
  set(_avi_seeds)
endif()
trivexa_fuzz(fuzz_avi_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_avi_reader.cpp
             RUNS 4000 ${_avi_seeds})
trivexa_fuzz(fuzz_avi_repair SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_avi_repair.cpp
             RUNS 3000 ${_avi_seeds})
