# Version files from the update server read, compared and written into the
# notice, seeded with well-formed and odd version files.
trivexa_fuzz(fuzz_version_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_version_text.cpp
             RUNS 8000 LIBS trivexa_online_core
             SEED_COMMAND sh -c "mkdir -p \"$1\" && printf '%sVER:1.3.0.0\\r\\n' x > \"$1/a\" && printf '%s230715' '#' > \"$1/b\" && printf '%sVER:<a href=x>' '@' > \"$1/c\"" sh)
