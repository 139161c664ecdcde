# Applies the project's warning set to one target.
function(quillmark_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
        -Woverloaded-virtual -Wconversion -Wsign-conversion -Wimplicit-fallthrough
        -Wformat=2)
    if(QUILLMARK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Declares one module library: src/<name>/ becomes quillmark_<name> with include root src/.
function(quillmark_module name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(quillmark_${name} STATIC ${ARG_SOURCES})
    target_include_directories(quillmark_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(quillmark_${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    quillmark_warnings(quillmark_${name})
endfunction()
