# Where the integration fixtures keep their services' files (sockets, logs,
# PID files) in the build tree, and what a test that uses one needs to know.
# Included by each directory whose tests use them.

set(TQ_FIXTURE_DIR ${CMAKE_BINARY_DIR}/fixtures)
set(TQ_PULSE_DIR ${TQ_FIXTURE_DIR}/pulse)
set(TQ_PIPEWIRE_DIR ${TQ_FIXTURE_DIR}/pipewire)
set(TQ_XVFB_DIR ${TQ_FIXTURE_DIR}/xvfb)
set(TQ_WINE_DIR ${TQ_FIXTURE_DIR}/wine)
set(TQ_WESTON_DIR ${TQ_FIXTURE_DIR}/weston)

foreach(socket ${TQ_PULSE_DIR}/native ${TQ_PIPEWIRE_DIR}/pulse/native)
  string(LENGTH "${socket}" tq_socket_length)
  if(tq_socket_length GREATER 107)
    message(WARNING "${socket} is too long for a socket: the sound server legs will fail")
  endif()
endforeach()

# The same as pulse-start.sh writes to its DIR/environment; TQ_REQUIRE_PULSE
# makes the ALSA service's PulseAudio tests fail, not skip, without it.
set(TQ_PULSE_ENVIRONMENT
  PULSE_SERVER=unix:${TQ_PULSE_DIR}/native
  PULSE_CLIENTCONFIG=${TQ_PULSE_DIR}/client.conf
  PULSE_SINK=tq_sink
  TQ_PULSE_MONITOR=tq_sink.monitor
  TQ_ALSA_PULSE_CONF=${TQ_PULSE_DIR}/asound.conf
  TQ_REQUIRE_PULSE=1)
# The same as pipewire-start.sh writes to its DIR/environment: the same
# variables, naming PipeWire's PulseAudio server (pipewire-pulse) and its
# sink, and PipeWire's own runtime folder for its clients (pw-cat).
set(TQ_PIPEWIRE_ENVIRONMENT
  PULSE_SERVER=unix:${TQ_PIPEWIRE_DIR}/pulse/native
  PULSE_CLIENTCONFIG=${TQ_PIPEWIRE_DIR}/client.conf
  PULSE_SINK=tq_sink
  TQ_PULSE_MONITOR=tq_sink.monitor
  TQ_ALSA_PULSE_CONF=${TQ_PIPEWIRE_DIR}/asound.conf
  PIPEWIRE_RUNTIME_DIR=${TQ_PIPEWIRE_DIR}/run
  TQ_REQUIRE_PULSE=1)
# The sound servers a leg can be run against (tq_add_server_leg,
# tq_discover_server_tests): the fixture of each is named as the server, its
# sink is locked as SERVER_sink, its environment is TQ_<SERVER>_ENVIRONMENT.
set(TQ_SOUND_SERVERS pulse pipewire)
set(TQ_WINE_ENVIRONMENT
  TQ_XVFB_DIR=${TQ_XVFB_DIR}
  HOME=${TQ_WINE_DIR}/home
  WINEPREFIX=${TQ_WINE_DIR}/prefix
  WINEDEBUG=-all
  WINEDLLOVERRIDES=mshtml,mscoree=)
# The same as weston-start.sh sets up: the compositor's runtime folder and
# socket name.
set(TQ_WESTON_ENVIRONMENT
  XDG_RUNTIME_DIR=${TQ_WESTON_DIR}/runtime
  WAYLAND_DISPLAY=tq-wayland)

# Gives the tests of a gtest discovery, listed in the variable `test_list`
# once the test executable has been built, the environment given after it
# (the discovery's own PROPERTIES cannot carry a list such as ENVIRONMENT).
function(tq_set_test_list_environment test_list)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${test_list}_environment.cmake)
  file(WRITE ${script}
    "if(${test_list})\n"
    "  set_tests_properties(\${${test_list}} PROPERTIES ENVIRONMENT \"${ARGN}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

# The same with the PulseAudio fixture's environment.
function(tq_set_pulse_environment test_list)
  tq_set_test_list_environment(${test_list} ${TQ_PULSE_ENVIRONMENT})
endfunction()

# tq_discover_server_tests(TARGET FILTER LABEL TIMEOUT [PIPEWIRE_FILTER f]):
# the gtest cases of TARGET that FILTER selects, once against each sound
# server's fixture (named CASE_pulse and CASE_pipewire), one at a time on
# each server's sink and serial, as real-time tests are; PIPEWIRE_FILTER, if
# given, selects the cases for PipeWire instead. The tests see the
# fixture's environment and TQ_SERVER (pulse or pipewire).
function(tq_discover_server_tests target filter label timeout)
  cmake_parse_arguments(arg "" "PIPEWIRE_FILTER" "" ${ARGN})
  string(MAKE_C_IDENTIFIER "${target}_${filter}" list_name)
  foreach(server ${TQ_SOUND_SERVERS})
    string(TOUPPER ${server} upper)
    set(server_filter "${filter}")
    if(server STREQUAL "pipewire" AND arg_PIPEWIRE_FILTER)
      set(server_filter "${arg_PIPEWIRE_FILTER}")
    endif()
    gtest_discover_tests(${target} TEST_FILTER "${server_filter}" TEST_SUFFIX "_${server}"
      TEST_LIST tq_${list_name}_${server} DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS ${label} FIXTURES_REQUIRED ${server} RESOURCE_LOCK ${server}_sink
      RUN_SERIAL TRUE TIMEOUT ${timeout})
    tq_set_test_list_environment(tq_${list_name}_${server}
      ${TQ_${upper}_ENVIRONMENT} TQ_SERVER=${server})
  endforeach()
endfunction()
