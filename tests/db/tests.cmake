# The database servers of the tests in db/: started once per run by the
# test servers helper (a CTest fixture) and stopped at the end; every test
# here requires them. The state file tells the tests where they listen.
set(VTTEL_DB_SERVERS_STATE ${CMAKE_CURRENT_BINARY_DIR}/db_servers.state)
add_test(NAME db_servers_start
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/servers/test_servers.py start postgresql mariadb tds wrndbd
                 --state ${VTTEL_DB_SERVERS_STATE})
add_test(NAME db_servers_stop
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/servers/test_servers.py stop
                 --state ${VTTEL_DB_SERVERS_STATE})
set_tests_properties(db_servers_start PROPERTIES FIXTURES_SETUP db_servers TIMEOUT 180)
set_tests_properties(db_servers_stop PROPERTIES FIXTURES_CLEANUP db_servers TIMEOUT 60)
set(VTTEL_TEST_PROPERTIES FIXTURES_REQUIRED db_servers)
vttel_subsystem_tests(db "services;engine;frame;platform")
unset(VTTEL_TEST_PROPERTIES)
foreach(b db_tests db_slow_tests db_slow_wait_tests db_concurrency_tests)
  if(TARGET ${b})
    add_dependencies(${b} wrndbapi)
  endif()
endforeach()
