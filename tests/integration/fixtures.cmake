# Where the integration fixtures keep their services' files (sockets, logs,
# PID files) in the build tree, and what a test that uses one needs to know.
# Included by each directory whose tests use them.

set(TQ_FIXTURE_DIR ${CMAKE_BINARY_DIR}/fixtures)
set(TQ_PULSE_DIR ${TQ_FIXTURE_DIR}/pulse)
set(TQ_XVFB_DIR ${TQ_FIXTURE_DIR}/xvfb)
set(TQ_WINE_DIR ${TQ_FIXTURE_DIR}/wine)

string(LENGTH "${TQ_PULSE_DIR}/native" tq_socket_length)
if(tq_socket_length GREATER 107)
  message(WARNING "${TQ_PULSE_DIR}/native is too long for a socket: the PulseAudio legs will fail")
endif()

# The same as pulse-start.sh writes to its DIR/environment; TQ_REQUIRE_PULSE
# makes the ALSA service's PulseAudio tests fail, not skip, without it.
set(TQ_PULSE_ENVIRONMENT
  PULSE_SERVER=unix:${TQ_PULSE_DIR}/native
  PULSE_CLIENTCONFIG=${TQ_PULSE_DIR}/client.conf
  PULSE_SINK=tq_sink
  TQ_PULSE_MONITOR=tq_sink.monitor
  TQ_ALSA_PULSE_CONF=${TQ_PULSE_DIR}/asound.conf
  TQ_REQUIRE_PULSE=1)
set(TQ_WINE_ENVIRONMENT
  TQ_XVFB_DIR=${TQ_XVFB_DIR}
  HOME=${TQ_WINE_DIR}/home
  WINEPREFIX=${TQ_WINE_DIR}/prefix
  WINEDEBUG=-all
  WINEDLLOVERRIDES=mshtml,mscoree=)

# Gives the tests of a gtest discovery, listed in the variable `test_list`
# once the test executable has been built, the environment `environment` (a
# list; the discovery's own PROPERTIES cannot carry one).
function(tq_set_test_environment test_list environment)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${test_list}_environment.cmake)
  file(WRITE ${script}
    "if(${test_list})\n"
    "  set_tests_properties(\${${test_list}} PROPERTIES ENVIRONMENT \"${environment}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

# The same with the PulseAudio fixture's environment.
function(tq_set_pulse_environment test_list)
  tq_set_test_environment(${test_list} "${TQ_PULSE_ENVIRONMENT}")
endfunction()
