# Recording name operations on arbitrary bytes, seeded with names of several
# trigger kinds.
trivexa_fuzz(fuzz_recording_name SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_recording_name.cpp
             RUNS 8000
             SEED_COMMAND sh -c "mkdir -p \"$1\" && printf %s AG_S-230715-081522-000123F.AVI > \"$1/a\" && printf %s PGT_-230230-250000-000001R.AVI > \"$1/b\" && printf %s 'E:\\Normal\\Front\\__T_-991231-246060-000000F.AVI.bak' > \"$1/c\"" sh)
