# Folder scans and the browser's device file on arbitrary bytes: the input
# becomes a folder of files with those names and a DRFormatConfig.dfc.
trivexa_fuzz(fuzz_library SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_library.cpp
             RUNS 1000
             SEED_COMMAND sh -c "mkdir -p \"$1\" && printf 'A___-230715-081522-000001F.AVI\\nA___-230715-081522-000002R.AVI\\nAG_S-230716-000000-000003F.AVI\\nFront/P___-230715-081522-000004F.AVI\\n' > \"$1/a\"" sh)
