# Sensor block decoders and the reader's block search on arbitrary bytes,
# seeded with blocks that clipforge encodes.
if(TARGET clipforge_lib)
  add_executable(fuzz_sensor_seeds ${CMAKE_CURRENT_LIST_DIR}/fuzz_sensor_seeds.cpp)
  target_link_libraries(fuzz_sensor_seeds PRIVATE clipforge_lib)
  set(_sensor_seeds SEED_COMMAND $<TARGET_FILE:fuzz_sensor_seeds>)
else()
  set(_sensor_seeds)
endif()
trivexa_fuzz(fuzz_sensor SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_sensor.cpp RUNS 6000
             ${_sensor_seeds})
