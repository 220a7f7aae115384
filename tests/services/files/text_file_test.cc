// The text-file statements on a line's file table, against files compared
// as bytes: handles, the mode letters, lines, blocks and whole reads in text
// and binary mode, the line limit, writes and seeks, and a read of a huge
// length through the real vtsrun with the allocator's limit lowered.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "services/files/text_file.h"
#include "tests/services/tcp_script_fixture.h"
#include "tests/vtsrun_runner.h"

namespace {

using engine::TagVar;
using testing_support::ReadFile;
using testing_support::WriteFile;

class TextFileTest : public services_test::TcpScriptTest {
 protected:
  // Opens name with mode: the handle variable (its value the result).
  TagVar* Open(const std::string& name, const std::string& mode) {
    TagVar* h = Val(-7);
    const int32_t r = Exec("FileOpen(", {Val(name), Val(mode), h});
    EXPECT_EQ(h->intValue, r);
    return h;
  }
  // The lines "FileReadLine(" gives until -1, as "<length>:<text>".
  std::vector<std::string> Lines(TagVar* h) {
    std::vector<std::string> lines;
    TagVar* line = Val(0);
    for (int i = 0; i < 10; ++i) {
      const int32_t r = Exec("FileReadLine(", {h, line});
      lines.push_back(std::to_string(r) + ":" + std::string(line->Bytes()));
      if (r < 0) break;
    }
    return lines;
  }
  std::string ReadAll(TagVar* h, int32_t length, int32_t* result) {
    TagVar* v = Val(0);
    *result = Exec("FileRead(", {h, Val(length), v});
    return std::string(v->Bytes());
  }
};

TEST_F(TextFileTest, HandlesCountUpAndAreNeverReused) {
  WriteFile("f.txt", "x");
  EXPECT_EQ(Open("f.txt", "r")->intValue, 0);
  EXPECT_EQ(Exec("FileClose(", {Val(0)}), 0);
  EXPECT_EQ(Open("missing.txt", "r")->intValue, -1);
  EXPECT_EQ(Open("f.txt", "r")->intValue, 1);
  EXPECT_EQ(Open("f.txt", "rb")->intValue, 2);
  EXPECT_EQ(Exec("FileCloseAll(", {}), 0);
  EXPECT_EQ(Open("f.txt", "r")->intValue, 3);
  EXPECT_EQ(Open(".", "r")->intValue, -1);  // a folder is no file
  // A handle that is not in the table: reads give "" and 0, even a line.
  TagVar* v = Val("old");
  EXPECT_EQ(Exec("FileReadLine(", {Val(0), v}), 0);
  EXPECT_EQ(v->Bytes(), "");
  EXPECT_EQ(Exec("FileSeek(", {Val(9), Val(5)}), 0);
  EXPECT_EQ(Exec("FileWrite(", {Val(9), Val("x")}), 0);
  EXPECT_EQ(Exec("FileClose(", {Val(9)}), 0);
}

TEST_F(TextFileTest, ModeLettersOpenCreateEmptyOrFail) {
  struct Case {
    const char* mode;
    bool exists;        // the file is there before
    int32_t handle_ok;  // 1 opens, 0 fails
    const char* after;  // the file's bytes after writing "W" (nullptr: not there)
  };
  const Case cases[] = {
      {"r", true, 1, "old"},       {"rb", true, 1, "old"},     {"r", false, 0, nullptr},
      {"w", true, 1, "W"},         {"w", false, 1, "W"},       {"a", false, 1, "W"},
      {"a", true, 1, "oldW"},      {"a+", true, 1, "oldW"},    {"+", false, 0, nullptr},
      {"r+", true, 1, "Wld"},      {"w+", true, 1, "W"},       {"rw", false, 1, "W"},
      {"rw+", true, 1, "W"},       {"", true, 0, "old"},       {"ra", true, 0, "old"},
      {"wa", false, 0, nullptr},   {"b", true, 0, "old"},      {"xyz", true, 0, "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("mode \"") + c.mode + "\"" + (c.exists ? " existing" : " missing"));
    ::unlink("m.txt");
    if (c.exists) WriteFile("m.txt", "old");
    TagVar* h = Open("m.txt", c.mode);
    EXPECT_EQ(h->intValue >= 0, c.handle_ok == 1);
    Exec("FileWrite(", {h, Val("W")});
    Exec("FileClose(", {h});
    const std::optional<std::string> bytes = ReadFile("m.txt");
    if (c.after == nullptr) {
      EXPECT_FALSE(bytes.has_value());
    } else {
      EXPECT_EQ(bytes.value_or("<none>"), c.after);
    }
  }
}

TEST_F(TextFileTest, LinesAreTheSameInBothModesAndInBothLineEnds) {
  struct Case {
    const char* label;
    const char* bytes;
  };
  const Case cases[] = {{"LF", "a\nb\nc"}, {"CR LF", "a\r\nb\r\nc"}};
  for (const Case& c : cases) {
    for (const char* mode : {"r", "rb"}) {
      SCOPED_TRACE(std::string(c.label) + " in \"" + mode + "\"");
      WriteFile("l.txt", c.bytes);
      TagVar* h = Open("l.txt", mode);
      EXPECT_EQ(Lines(h), (std::vector<std::string>{"1:a", "1:b", "1:c", "-1:"}));
      EXPECT_EQ(Exec("FileSeek(", {h, Val(0)}), 0);
      TagVar* list = Val(0);
      EXPECT_EQ(Exec("FileReadLines(", {h, list}), 3);
      EXPECT_EQ(list->ToText(), "{\r\n0:\"a\",\r\n1:\"b\",\r\n2:\"c\"\r\n}");
      Exec("FileSeek(", {h, Val(0)});
      TagVar* map = Val(0);
      EXPECT_EQ(Exec("FileMapLines(", {h, map}), 4);
      EXPECT_EQ(map->ToText(), "{\r\n\"a\":1,\r\n\"b\":2,\r\n\"c\":3\r\n}");
      Exec("FileClose(", {h});
    }
  }
}

TEST_F(TextFileTest, EmptyFilesAndEmptyLines) {
  WriteFile("e.txt", "");
  TagVar* h = Open("e.txt", "r");
  TagVar* untouched = Val(5);
  EXPECT_EQ(Exec("FileReadLines(", {h, untouched}), 0);
  EXPECT_EQ(untouched->intValue, 5);
  EXPECT_EQ(Exec("FileMapLines(", {h, Val(0)}), 1);
  WriteFile("blank.txt", "\n\r\nx\ry\n");
  EXPECT_EQ(Lines(Open("blank.txt", "r")), (std::vector<std::string>{"0:", "0:", "1:x", "-1:"}));
}

TEST_F(TextFileTest, LongestLineComesWholeALongerOneEndsTheReading) {
  const std::string full(services::kMaxLineChars, 'x');
  struct Case {
    const char* label;
    std::string bytes;
    const char* mode;
    bool whole;  // the first line comes whole; else -1 and every read after
  };
  const Case cases[] = {
      {"8191 + LF", full + "\nnext\n", "r", true},
      {"8191 + LF binary", full + "\nnext\n", "rb", true},
      {"8191 + CR LF", full + "\r\nnext\n", "r", true},
      {"8191 + CR LF binary: the CR counts", full + "\r\nnext\n", "rb", false},
      {"8190 + CR LF binary", full.substr(1) + "\r\nnext\n", "rb", true},
      {"8191 at the end", full, "r", true},
      {"8192 + LF", full + "x\nnext\n", "r", false},
      {"8192 at the end", full + "x", "rb", false},
      {"far longer", std::string(100000, 'y') + "\nnext\n", "r", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFile("long.txt", c.bytes);
    TagVar* h = Open("long.txt", c.mode);
    TagVar* line = Val(0);
    const int32_t r = Exec("FileReadLine(", {h, line});
    if (c.whole) {
      EXPECT_EQ(r, static_cast<int32_t>(c.bytes.find_first_of("\r\n") == std::string::npos
                                            ? c.bytes.size()
                                            : c.bytes.find_first_of("\r\n")));
      EXPECT_EQ(line->Bytes().size(), static_cast<size_t>(r));
    } else {
      EXPECT_EQ(r, -1);
      EXPECT_EQ(Exec("FileReadLine(", {h, line}), -1);
      int32_t got = 0;
      EXPECT_EQ(ReadAll(h, 0, &got), "");
      EXPECT_EQ(Exec("FileReadLines(", {h, Val(0)}), 0);
    }
    Exec("FileClose(", {h});
  }
}

TEST_F(TextFileTest, BlocksWholeReadsAndWritesInBothModes) {
  WriteFile("crlf.txt", "a\r\nb\r\n\rc");
  struct Case {
    const char* mode;
    int32_t seek;
    int32_t length;
    const char* read;
  };
  const Case cases[] = {
      {"r", 0, 0, "a\nb\n\rc"},      {"rb", 0, 0, "a\r\nb\r\n\rc"}, {"r", 0, 3, "a\nb"},
      {"rb", 0, 3, "a\r\n"},         {"r", 1, 0, "\nb\n\rc"},       {"r", 2, 0, "\nb\n\rc"},
      {"r", 6, 10, "\rc"},           {"rb", 4, 10, "\r\n\rc"},      {"r", 7, 1, "c"},
      {"r", 9, 5, ""},               {"r", 0, 2147483647, "a\nb\n\rc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " from " + std::to_string(c.seek) + " length " +
                 std::to_string(c.length));
    TagVar* h = Open("crlf.txt", c.mode);
    EXPECT_EQ(Exec("FileSeek(", {h, Val(c.seek)}), c.seek);
    int32_t got = -9;
    EXPECT_EQ(ReadAll(h, c.length, &got), c.read);
    EXPECT_EQ(got, static_cast<int32_t>(std::string(c.read).size()));
    Exec("FileClose(", {h});
  }
  WriteFile("ten.txt", "0123456789");
  TagVar* h = Open("ten.txt", "rb");
  Exec("FileSeek(", {h, Val(6)});
  int32_t got = 0;
  EXPECT_EQ(ReadAll(h, 10, &got), "6789");
  EXPECT_EQ(got, 4);

  for (const char* mode : {"w", "wb"}) {
    TagVar* w = Open("out.txt", mode);
    Exec("FileWrite(", {w, Val("a\nb")});
    Exec("FileWrite(", {w, Val(42)});
    Exec("FileClose(", {w});
    EXPECT_EQ(ReadFile("out.txt").value_or(""), mode[1] == 'b' ? "a\nb42" : "a\r\nb42") << mode;
  }
  // A non-string write reaches the file at once; strings wait for a flush.
  TagVar* w = Open("flush.txt", "w");
  Exec("FileWrite(", {w, Val(42)});
  EXPECT_EQ(ReadFile("flush.txt").value_or(""), "42");
  TagVar* half = Val(0);
  half->SetFloat(1.5);
  Exec("FileWrite(", {w, half});
  EXPECT_EQ(ReadFile("flush.txt").value_or(""), "421.5");
}

TEST_F(TextFileTest, ReadingAndWritingShareOnePosition) {
  WriteFile("rw.txt", "line1\nline2\n");
  TagVar* h = Open("rw.txt", "r+b");
  TagVar* line = Val(0);
  EXPECT_EQ(Exec("FileReadLine(", {h, line}), 5);
  Exec("FileWrite(", {h, Val("LINE2")});
  Exec("FileSeek(", {h, Val(0)});
  int32_t got = 0;
  EXPECT_EQ(ReadAll(h, 0, &got), "line1\nLINE2\n");
  Exec("FileSeek(", {h, Val(12)});
  Exec("FileWrite(", {h, Val("3")});
  Exec("FileClose(", {h});
  EXPECT_EQ(ReadFile("rw.txt").value_or(""), "line1\nLINE2\n3");
}

// A length of 2,147,483,647 on a 10-byte file: the buffer is what the file
// can give. The allocator refuses anything above 64 MB here, so a buffer of
// the asked length ends the program.
TEST(TextFileProcess, HugeReadLengthAllocatesOnlyTheFilesRest) {
  testing_support::TempDir dir;
  WriteFile(dir.File("ten.txt"), "0123456789");
  WriteFile(dir.File("s.vts"),
            "SetPrintTo(\"\")\nh = 0\nv = \"\"\nFileOpen(\"ten.txt\", \"r\", h)\n"
            "r = FileRead(h, 2147483647, v)\nPrint(r)\nPrint(v)\nreturn(0)\n");
  const char* options = std::getenv("ASAN_OPTIONS");
  testing_support::ScopedEnv asan(
      "ASAN_OPTIONS", std::string(options != nullptr ? options : "") + ":max_allocation_size_mb=64");
  const testing_support::VtsrunOutcome o = testing_support::RunVtsrun(dir.path(), {"s.vts"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "0 : 10\n0 : 0123456789\n");
}

// One script through the real vtsrun: text and binary writes, whole reads
// of a CR LF fixture and the print file, all compared as bytes.
TEST(TextFileProcess, BothModesAndThePrintFileKeepTheirBytes) {
  testing_support::TempDir dir;
  WriteFile(dir.File("crlf.txt"), "x\r\ny\r\n");
  WriteFile(dir.File("s.vts"),
            "h = 0\nv = \"\"\n"
            "FileOpen(\"t.txt\", \"w\", h)\nFileWrite(h, \"a\\nb\")\nFileClose(h)\n"
            "FileOpen(\"b.txt\", \"wb\", h)\nFileWrite(h, \"a\\nb\")\nFileClose(h)\n"
            "FileOpen(\"crlf.txt\", \"r\", h)\nFileRead(h, 0, v)\nFileClose(h)\n"
            "FileOpen(\"r.txt\", \"wb\", h)\nFileWrite(h, v)\nFileClose(h)\n"
            "FileOpen(\"crlf.txt\", \"rb\", h)\nFileRead(h, 0, v)\nFileClose(h)\n"
            "FileOpen(\"rb.txt\", \"wb\", h)\nFileWrite(h, v)\nFileClose(h)\n"
            "SetPrintTo(\"p.txt\")\nPrint(\"a\\nb\")\nSetPrintTo(\"\")\nreturn(0)\n");
  const testing_support::VtsrunOutcome o = testing_support::RunVtsrun(dir.path(), {"s.vts"});
  EXPECT_EQ(o.status, 0) << o.err;
  const struct {
    const char* file;
    const char* bytes;
  } files[] = {{"t.txt", "a\r\nb"}, {"b.txt", "a\nb"},         {"r.txt", "x\ny\n"},
               {"rb.txt", "x\r\ny\r\n"}, {"p.txt", "a\r\nb"}};
  for (const auto& f : files) {
    EXPECT_EQ(ReadFile(dir.File(f.file)).value_or("<none>"), f.bytes) << f.file;
  }
}

}  // namespace
