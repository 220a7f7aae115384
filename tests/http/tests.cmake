# The HTTP tests against nginx: started once per run by the test servers
# helper (a CTest fixture) with its own configuration and prefix, and
# stopped at the end; every test here requires it.
set(VTTEL_HTTP_SERVERS_STATE ${CMAKE_CURRENT_BINARY_DIR}/http_servers.state)
add_test(NAME http_servers_start
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/servers/test_servers.py start nginx
                 --state ${VTTEL_HTTP_SERVERS_STATE})
add_test(NAME http_servers_stop
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/servers/test_servers.py stop
                 --state ${VTTEL_HTTP_SERVERS_STATE})
set_tests_properties(http_servers_start PROPERTIES FIXTURES_SETUP http_servers TIMEOUT 120)
set_tests_properties(http_servers_stop PROPERTIES FIXTURES_CLEANUP http_servers TIMEOUT 60)
set(VTTEL_TEST_PROPERTIES FIXTURES_REQUIRED http_servers)
vttel_subsystem_tests(http "services;engine;frame;regex;platform")
unset(VTTEL_TEST_PROPERTIES)
