// Running a script file through the real vtsrun in a test folder: the
// script prints its results to stdout ("Print(" after SetPrintTo("")) and
// the test compares the "0 : <text>" lines.
#ifndef VTTEL_TESTS_SERVICES_VTSRUN_SCRIPT_H_
#define VTTEL_TESTS_SERVICES_VTSRUN_SCRIPT_H_

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace services_test {

// Writes script (with its print set-up and a final "return(0)") into dir
// as "s.vts" and runs it.
inline testing_support::VtsrunOutcome RunScript(const testing_support::TempDir& dir,
                                                const std::string& script) {
  testing_support::WriteFile(dir.File("s.vts"), "SetPrintTo(\"\")\n" + script + "return(0)\n");
  return testing_support::RunVtsrun(dir.path(), {"s.vts"});
}

// The expected stdout: one "0 : <text>" line per print.
inline std::string Printed(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += "0 : " + l + "\n";
  return out;
}

// One script and the lines it must print.
struct ScriptCase {
  const char* label;
  const char* script;
  std::vector<std::string> printed;
};

// Runs every case in one folder; each must end with status 0 and print its
// lines.
template <size_t N>
void RunScriptCases(const ScriptCase (&cases)[N]) {
  testing_support::TempDir dir;
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(c.label);
    const testing_support::VtsrunOutcome o = RunScript(dir, c.script);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, Printed(c.printed));
  }
}

}  // namespace services_test

#endif  // VTTEL_TESTS_SERVICES_VTSRUN_SCRIPT_H_
