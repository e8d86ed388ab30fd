cmake_minimum_required(VERSION 3.20)
# The layer check must fail when a room includes upward: for each room of the bottom layer, a
# copy of src/ gets one planted include against the layers, and check_layers.cmake has to refuse
# it. Run as: cmake -DSRC=<src folder> -DWORK=<scratch folder> -P check_layers_refuses.cmake
if(NOT SRC OR NOT WORK)
  message(FATAL_ERROR "check_layers_refuses: SRC and WORK must be set")
endif()
# room, then an include that runs against the layers from it
set(plants
  "rules|controls/report_list.h"
  "controls|feed/feed_document.h"
  "feed|net/transfer.h"
  "surface|net/sign_in.h"
  "net|form/control.h")
set(missed 0)
foreach(plant IN LISTS plants)
  string(REPLACE "|" ";" parts "${plant}")
  list(GET parts 0 room)
  list(GET parts 1 include)
  set(copy "${WORK}/${room}")
  file(REMOVE_RECURSE "${copy}")
  file(COPY "${SRC}/" DESTINATION "${copy}")
  file(WRITE "${copy}/${room}/planted.h" "#pragma once\n#include \"${include}\"\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSRC=${copy} -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
  file(REMOVE_RECURSE "${copy}")
  if(result EQUAL 0 OR NOT errors MATCHES "${room}/planted.h")
    message(SEND_ERROR "the layer check let ${room}/ include ${include}")
    math(EXPR missed "${missed} + 1")
  endif()
endforeach()
if(missed GREATER 0)
  message(FATAL_ERROR "check_layers_refuses: ${missed} planted include(s) went through")
endif()
message(STATUS "check_layers_refuses: every planted include was refused")
