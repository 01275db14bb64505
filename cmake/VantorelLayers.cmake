# The layers of the source tree, enforced by the compiler.
#
# Every folder is a library of its own, and an include is written from the repository root
# ("core/NumberText.h", "formula/Formula.h"). A library does not get the repository root as
# its include path: it gets an include root of its own in the build tree, which holds links to
# its own folder's headers and nothing else. The root is PUBLIC, so a library sees exactly
# the headers of its own folder and of the libraries it links; an include against the
# layers ("formula/Formula.h" in core/) does not compile. See docs/architecture.md.

set(VANTOREL_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include)

# Gives `target` the include root of the source folder `folder` (relative to the project):
# links <build>/include/<target>/<folder>/<header> -> <source>/<folder>/<header> for the
# folder's own headers (not those of its subfolders), made again at every configure. The
# folder's sources are linked too: a vector kernel source includes itself once per
# instruction set (Highway's foreach_target).
function(vantorel_include_root target folder)
  set(root ${VANTOREL_INCLUDE_ROOTS}/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# A static library of one folder's *.cpp (and, for Qt folders, its *.h for the meta-object
# compiler), with its include root, linking `ARGN` publicly.
function(vantorel_folder_library target folder)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  if(folder MATCHES "(^|/)gui$")
    file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h)
    list(APPEND sources ${headers})
  endif()
  add_library(${target} STATIC ${sources})
  vantorel_include_root(${target} ${folder})
  target_link_libraries(${target} PUBLIC ${ARGN})
endfunction()

# The proof that the layers hold: each probe is a one-line source that includes one header
# and is compiled with the include paths of one library, by a test that builds the probe's
# target. A probe that `may` include the header must build; one that may not must fail with
# the compiler's "No such file" for that very header (not for some other reason).
function(vantorel_layer_probe library header verdict)
  string(MAKE_C_IDENTIFIER "${library}_${header}" id)
  set(target layer_probe_${id})
  set(source ${CMAKE_BINARY_DIR}/layer-probes/${id}.cpp)
  file(WRITE ${source}.new "#include \"${header}\"\n")
  file(COPY_FILE ${source}.new ${source} ONLY_IF_DIFFERENT)
  file(REMOVE ${source}.new)
  add_library(${target} OBJECT EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${target} PRIVATE ${library})
  set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTORCC OFF AUTOUIC OFF)
  set(test layers_${library}_${verdict}_${header})
  add_test(NAME ${test}
    COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${target})
  # The probes share the build tree's lock files: one at a time.
  set_tests_properties(${test} PROPERTIES RESOURCE_LOCK vantorel_build_tree TIMEOUT 120)
  if(verdict STREQUAL "may")
    set_tests_properties(${test} PROPERTIES FAIL_REGULAR_EXPRESSION "error:")
  elseif(verdict STREQUAL "may_not")
    string(REPLACE "." "\\." pattern "${header}")
    set_tests_properties(${test} PROPERTIES PASS_REGULAR_EXPRESSION "${pattern}: No such file or directory")
  else()
    message(FATAL_ERROR "vantorel_layer_probe: verdict is may or may_not, not ${verdict}")
  endif()
endfunction()
