# The data panels' plot, event query and trip read-outs on sensor data decoded
# from arbitrary bytes, with arbitrary frame maps, panel sizes and positions;
# seeded like the sensor decoders.
if(TARGET trivexa_panels_core)
  # sensor.cmake makes the seed writer (when clipforge is built).
  if(TARGET clipforge_lib)
    set(_panels_seeds SEED_COMMAND $<TARGET_FILE:fuzz_sensor_seeds>)
  else()
    set(_panels_seeds)
  endif()
  trivexa_fuzz(fuzz_panels SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_panels.cpp RUNS 6000
               LIBS trivexa_panels_core ${_panels_seeds})
endif()
