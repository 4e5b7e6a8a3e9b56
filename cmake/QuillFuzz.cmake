# quill_add_fuzz_target(<name> SOURCES <files...> LIBS <targets...>)
#
# With QUILL_FUZZ (clang) this builds a libFuzzer executable `fuzz_<name>`.
# In every ordinary build it builds `fuzz_<name>_replay`, which feeds each file kept under
# fuzz/<subsystem>/<name>/ (seeds and crash inputs) through the same entry point, and registers it with
# CTest, so CI replays kept inputs without clang's fuzzer.
function(quill_add_fuzz_target name)
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    set(corpus_dir "${CMAKE_CURRENT_SOURCE_DIR}/${name}")
    if(QUILL_FUZZ)
        add_executable(fuzz_${name} ${F_SOURCES})
        target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS} quill_options)
        target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    elseif(QUILL_BUILD_TESTS)
        add_executable(fuzz_${name}_replay ${F_SOURCES} "${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp")
        target_link_libraries(fuzz_${name}_replay PRIVATE ${F_LIBS} quill_options)
        add_test(NAME fuzz_replay.${name} COMMAND fuzz_${name}_replay "${corpus_dir}")
        set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS "unit;fuzz" TIMEOUT 300)
    endif()
endfunction()
