# Shared compile settings: every target of the project links quill_options.
add_library(quill_options INTERFACE)
target_compile_options(quill_options INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra>)

if(QUILL_SANITIZE)
    # Applied to the whole tree so that tests, fakes and libraries share one instrumented runtime.
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# Adds the current folder's subsystem subfolders (http, json, app, service) that exist, leaving out
# the parts that are switched off.
function(quill_add_subsystem_folders)
    foreach(part http json app service)
        if(part STREQUAL "app" AND NOT QUILL_BUILD_APP)
            continue()
        endif()
        if(part STREQUAL "service" AND NOT QUILL_BUILD_SERVICE)
            continue()
        endif()
        if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${part}/CMakeLists.txt")
            add_subdirectory(${part})
        endif()
    endforeach()
endfunction()
