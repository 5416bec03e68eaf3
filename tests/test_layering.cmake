# The folders' layering, checked over the sources and the link graph (cmake -P, run by CTest):
#  - a source file includes headers only from its own folder and from folders of lower layers;
#  - a target links only targets of its own folder and of lower layers;
#  - the widget-free targets do not link Qt Widgets, not even through another target.
# tests/, bench/ and fuzz/ may include and link anything; they are not checked.
#
# -DQL_SOURCE_DIR=<the source tree>
# -DQL_LINKS_FILE=<the targets and their links, written at configure time by tests/CMakeLists.txt>
#
# Before the tree is checked, the checks run on a small tree of their own with known faults,
# so that a check that has stopped finding anything fails too.

cmake_minimum_required(VERSION 3.22)

# The layers, lowest first; folders on one layer may not include from each other.
set(ql_layers
    "core resources"
    "link chart"
    "widgets sim"
    "live logger files"
    "app cli")

# Targets that must not link Qt Widgets (the command-line tool and the tests without windows
# build on them).
set(ql_widget_free ql_core ql_resources ql_link ql_sim ql_simbackend ql_livecore ql_loggercore
    ql_filescore)

# ==== TEMPORARY EXCEPTIONS ===================================================================
# None now. A step of a larger move may list here what it cannot move yet; an exception that no
# longer occurs fails the check, so that the list cannot outlive it.
#   includes: "<file regex>|<header regex>", paths relative to the source tree
#   links:    "<target>|<linked target>"
set(ql_include_exceptions "")
set(ql_link_exceptions "")
# =============================================================================================

# Layer of a folder, or -1 for a folder outside the layers.
function(ql_layer_of folder out)
    set(layer 0)
    foreach(row IN LISTS ql_layers)
        string(REPLACE " " ";" folders "${row}")
        if(folder IN_LIST folders)
            set(${out} ${layer} PARENT_SCOPE)
            return()
        endif()
        math(EXPR layer "${layer} + 1")
    endforeach()
    set(${out} -1 PARENT_SCOPE)
endfunction()

# True when `from` (a folder) may use `to` (a folder).
function(ql_may_use from to out)
    ql_layer_of(${from} from_layer)
    ql_layer_of(${to} to_layer)
    if(from STREQUAL to OR from_layer LESS 0 OR to_layer LESS 0 OR to_layer LESS from_layer)
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

# Index of "<folder>/<name>" for each header name in the layered folders of `root`. Two
# folders holding a header of the same name fail the check: an include could not be told
# apart.
function(ql_index_headers root out_names out_paths out_faults)
    set(names "")
    set(paths "")
    set(faults "")
    foreach(row IN LISTS ql_layers)
        string(REPLACE " " ";" folders "${row}")
        foreach(folder IN LISTS folders)
            file(GLOB_RECURSE headers RELATIVE ${root} ${root}/${folder}/*.h)
            foreach(header IN LISTS headers)
                get_filename_component(name ${header} NAME)
                list(FIND names ${name} at)
                if(at GREATER_EQUAL 0)
                    list(GET paths ${at} other)
                    list(APPEND faults "${header} and ${other}: two headers of one name")
                else()
                    list(APPEND names ${name})
                    list(APPEND paths ${header})
                endif()
            endforeach()
        endforeach()
    endforeach()
    set(${out_names} "${names}" PARENT_SCOPE)
    set(${out_paths} "${paths}" PARENT_SCOPE)
    set(${out_faults} "${faults}" PARENT_SCOPE)
endfunction()

# Includes against the layers: appends a line per upward include to `out_faults`, and the
# exceptions that matched to `out_used`.
function(ql_check_includes root out_faults out_used)
    ql_index_headers(${root} names paths faults)
    set(used "")
    foreach(row IN LISTS ql_layers)
        string(REPLACE " " ";" folders "${row}")
        foreach(folder IN LISTS folders)
            file(GLOB_RECURSE sources RELATIVE ${root} ${root}/${folder}/*.h ${root}/${folder}/*.cpp)
            foreach(source IN LISTS sources)
                file(STRINGS ${root}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
                foreach(line IN LISTS lines)
                    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*$" "\\1"
                           included "${line}")
                    get_filename_component(name "${included}" NAME)
                    list(FIND names "${name}" at)
                    if(at LESS 0)
                        continue() # not one of the project's headers (Qt, the C++ library)
                    endif()
                    list(GET paths ${at} header)
                    string(REGEX REPLACE "/.*$" "" header_folder ${header})
                    ql_may_use(${folder} ${header_folder} allowed)
                    if(allowed)
                        continue()
                    endif()
                    set(excepted FALSE)
                    foreach(exception IN LISTS ql_include_exceptions)
                        string(REPLACE "|^" ";^" pair "${exception}")
                        list(GET pair 0 file_regex)
                        list(GET pair 1 header_regex)
                        if(source MATCHES "${file_regex}" AND header MATCHES "${header_regex}")
                            set(excepted TRUE)
                            list(APPEND used "${exception}")
                        endif()
                    endforeach()
                    if(NOT excepted)
                        list(APPEND faults "${source} includes ${header}")
                    endif()
                endforeach()
            endforeach()
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES used)
    set(${out_faults} "${faults}" PARENT_SCOPE)
    set(${out_used} "${used}" PARENT_SCOPE)
endfunction()

# Links against the layers and the widget-free targets, from the variables of the links file:
# QL_TARGETS, QL_FOLDER_<target>, QL_LINKS_<target> (direct), QL_CLOSURE_<target> (all).
function(ql_check_links out_faults out_used)
    set(faults "")
    set(used "")
    foreach(target IN LISTS QL_TARGETS)
        set(folder ${QL_FOLDER_${target}})
        foreach(linked IN LISTS QL_LINKS_${target})
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" linked "${linked}")
            if(NOT linked IN_LIST QL_TARGETS)
                continue() # Qt, a system library
            endif()
            ql_may_use(${folder} ${QL_FOLDER_${linked}} allowed)
            if(allowed)
                continue()
            endif()
            if("${target}|${linked}" IN_LIST ql_link_exceptions)
                list(APPEND used "${target}|${linked}")
            else()
                list(APPEND faults
                     "${target} (${folder}/) links ${linked} (${QL_FOLDER_${linked}}/)")
            endif()
        endforeach()
    endforeach()
    foreach(target IN LISTS ql_widget_free)
        if(NOT target IN_LIST QL_TARGETS)
            list(APPEND faults "${target}: no such target (the widget-free list is out of date)")
        elseif("Qt6::Widgets" IN_LIST QL_CLOSURE_${target})
            list(APPEND faults "${target} links Qt6::Widgets, but must stay widget-free")
        endif()
    endforeach()
    list(REMOVE_DUPLICATES used)
    set(${out_faults} "${faults}" PARENT_SCOPE)
    set(${out_used} "${used}" PARENT_SCOPE)
endfunction()

# ---- the checks on a tree with known faults ----------------------------------------------

function(ql_expect what faults expected)
    if(NOT faults STREQUAL expected)
        string(REPLACE ";" "\n  " faults "${faults}")
        string(REPLACE ";" "\n  " expected "${expected}")
        message(FATAL_ERROR "The layering check itself is broken: on its ${what} example it "
                            "found\n  ${faults}\nbut should have found\n  ${expected}")
    endif()
endfunction()

function(ql_self_test)
    set(root ${CMAKE_CURRENT_BINARY_DIR}/layering_example)
    file(REMOVE_RECURSE ${root})
    file(WRITE ${root}/core/low.h "#pragma once\n#include <QString>\n#include \"low2.h\"\n")
    file(WRITE ${root}/core/low2.h "#pragma once\n")
    file(WRITE ${root}/core/low.cpp "#include \"low.h\"\n  #  include <widgetsonly.h>\n")
    file(WRITE ${root}/link/mid.h "#pragma once\n#include \"low.h\"\n#include \"lowres.h\"\n")
    file(WRITE ${root}/link/mid.cpp "#include \"../chart/beside.h\"\n#include \"livepart.h\"\n")
    file(WRITE ${root}/resources/lowres.h "#pragma once\n")
    file(WRITE ${root}/resources/low2.h "#pragma once\n")
    file(WRITE ${root}/chart/beside.h "#pragma once\n#include \"mid.h\"\n")
    file(WRITE ${root}/widgets/widgetsonly.h "#pragma once\n")
    file(WRITE ${root}/live/livepart.h "#pragma once\n")
    file(WRITE ${root}/app/top.cpp "#include \"livepart.h\"\n#include \"low.h\"\n")
    set(ql_include_exceptions "^link/mid\\.(h|cpp)$|^live/livepart\\.h$")
    ql_check_includes(${root} faults used)
    ql_expect(include "${faults}"
              "resources/low2.h and core/low2.h: two headers of one name;core/low.cpp includes widgets/widgetsonly.h;link/mid.cpp includes chart/beside.h;chart/beside.h includes link/mid.h")
    ql_expect("include exception" "${used}" "${ql_include_exceptions}")

    set(QL_TARGETS ql_low ql_mid ql_top ql_side)
    set(QL_FOLDER_ql_low core)
    set(QL_FOLDER_ql_mid link)
    set(QL_FOLDER_ql_side chart)
    set(QL_FOLDER_ql_top app)
    set(QL_LINKS_ql_low Qt6::Core)
    set(QL_LINKS_ql_mid "ql_low;$<LINK_ONLY:ql_side>;ql_top")
    set(QL_LINKS_ql_side "Qt6::Widgets;ql_low")
    set(QL_LINKS_ql_top "ql_mid;ql_side")
    set(QL_CLOSURE_ql_low "ql_low;Qt6::Core")
    set(QL_CLOSURE_ql_mid "ql_mid;ql_low;Qt6::Core;ql_side;Qt6::Widgets")
    set(ql_widget_free ql_low ql_mid ql_gone)
    set(ql_link_exceptions "ql_mid|ql_top")
    ql_check_links(faults used)
    ql_expect(link "${faults}"
              "ql_mid (link/) links ql_side (chart/);ql_mid links Qt6::Widgets, but must stay widget-free;ql_gone: no such target (the widget-free list is out of date)")
    ql_expect("link exception" "${used}" "${ql_link_exceptions}")
    file(REMOVE_RECURSE ${root})
endfunction()

# ---- the tree ----------------------------------------------------------------------------

if(NOT QL_SOURCE_DIR OR NOT QL_LINKS_FILE)
    message(FATAL_ERROR "usage: cmake -DQL_SOURCE_DIR=<dir> -DQL_LINKS_FILE=<file> -P test_layering.cmake")
endif()

ql_self_test()

include(${QL_LINKS_FILE})
ql_check_includes(${QL_SOURCE_DIR} include_faults include_used)
ql_check_links(link_faults link_used)
set(faults ${include_faults} ${link_faults})
foreach(exception IN LISTS ql_include_exceptions)
    if(NOT exception IN_LIST include_used)
        list(APPEND faults "the include exception \"${exception}\" no longer occurs: remove it")
    endif()
endforeach()
foreach(exception IN LISTS ql_link_exceptions)
    if(NOT exception IN_LIST link_used)
        list(APPEND faults "the link exception \"${exception}\" no longer occurs: remove it")
    endif()
endforeach()

if(faults)
    list(LENGTH faults count)
    string(REPLACE ";" "\n  " faults "${faults}")
    message(FATAL_ERROR "${count} layering fault(s) (folders, lowest first: core, resources -> "
                        "link, chart -> widgets, sim -> live, logger, files -> app, cli):\n  "
                        "${faults}")
endif()
list(LENGTH QL_TARGETS target_count)
message(STATUS "layering: the includes and the links of ${target_count} targets follow the "
               "layers; temporary exceptions in use: ${ql_include_exceptions} ${ql_link_exceptions}")
