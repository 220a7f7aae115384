// Where the tests find the checkout, the build's programs and libraries,
// the test servers' state files and their own data.
//
// The values are the build's own: tests/CMakeLists.txt writes them into one
// generated source (test_paths.cc in the build folder), compiled into the
// test support library. Every test source sees this header (the build
// includes it ahead of each test source), so the sources themselves name
// no folder of one checkout and the compiler cache reuses their objects
// from one clone to the next; only the generated source recompiles.
//
// Each VTTEL_* name below is a `const char*` to a path that is fixed for the
// whole run (an empty text where the build has no such thing).
#ifndef VTTEL_TESTS_TEST_PATHS_H_
#define VTTEL_TESTS_TEST_PATHS_H_

namespace test_paths {

extern const char* const kSourceDir;          // the checkout
extern const char* const kToolsDir;           // vtsrun, vttelctl of this build
extern const char* const kProgramDir;         // vttel of this build
extern const char* const kTestToolsDir;       // helper programs of the tests
extern const char* const kReleaseToolsDir;    // vtsrun of the plain (unsanitized) build
extern const char* const kReleaseProgramDir;  // vttel of the plain (unsanitized) build
extern const char* const kArtifactsDir;       // pictures for the reader of the results
extern const char* const kDataDir;            // test data unpacked by fetch_data.sh
extern const char* const kTestServersPy;      // tests/servers/test_servers.py
extern const char* const kDbServersState;     // the database servers' state file
extern const char* const kHttpServersState;   // nginx's state file
extern const char* const kOdbcDriverDir;      // the system's ODBC drivers
extern const char* const kWrnDbLibrary;       // our database-server client library
extern const char* const kExtcallTestLib;     // the external-library tests' library
extern const char* const kClientEntriesLib;   // a client library with init entries only
extern const char* const kExtcallDemoLib;     // the demo's external library
extern const char* const kGuiTests;           // the window's test binary

}  // namespace test_paths

#define VTTEL_SOURCE_DIR (::test_paths::kSourceDir)
#define VTTEL_TOOLS_DIR (::test_paths::kToolsDir)
#define VTTEL_PROGRAM_DIR (::test_paths::kProgramDir)
#define VTTEL_TEST_TOOLS_DIR (::test_paths::kTestToolsDir)
#define VTTEL_RELEASE_TOOLS_DIR (::test_paths::kReleaseToolsDir)
#define VTTEL_RELEASE_PROGRAM_DIR (::test_paths::kReleaseProgramDir)
#define VTTEL_ARTIFACTS_DIR (::test_paths::kArtifactsDir)
#define VTTEL_DATA_DIR (::test_paths::kDataDir)
#define VTTEL_TEST_SERVERS_PY (::test_paths::kTestServersPy)
#define VTTEL_DB_SERVERS_STATE (::test_paths::kDbServersState)
#define VTTEL_HTTP_SERVERS_STATE (::test_paths::kHttpServersState)
#define VTTEL_ODBC_DRIVER_DIR (::test_paths::kOdbcDriverDir)
#define VTTEL_WRNDB_LIBRARY (::test_paths::kWrnDbLibrary)
#define VTTEL_EXTCALL_TEST_LIB (::test_paths::kExtcallTestLib)
#define VTTEL_CLIENT_ENTRIES_LIB (::test_paths::kClientEntriesLib)
#define VTTEL_EXTCALL_DEMO_LIB (::test_paths::kExtcallDemoLib)
#define VTTEL_GUI_TESTS (::test_paths::kGuiTests)

#endif  // VTTEL_TESTS_TEST_PATHS_H_
