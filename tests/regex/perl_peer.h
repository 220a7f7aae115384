// Perl as the second opinion of the differential tests, asked only where
// the engine and PCRE2 disagree: PCRE2 10.42 has faults of its own
// (backtracking past an atomic or possessive group that matched the empty
// text), and where Perl agrees with the engine the case counts as such a
// PCRE2 fault. perl is part of every Debian system (perl-base).
#ifndef VTTEL_TESTS_REGEX_PERL_PEER_H_
#define VTTEL_TESTS_REGEX_PERL_PEER_H_

#include <cstdio>
#include <string>
#include <string_view>

#include "regex/builder.h"
#include "tests/test_support.h"

namespace regex_test {

// The generated syntax in Perl's words: "$" without multi-line is \z, "^"
// with multi-line also holds after a final LF.
inline std::string ToPerlSyntax(std::string_view p, int flags) {
  std::string out;
  for (size_t i = 0; i < p.size(); ++i) {
    char c = p[i];
    if (c == '\\' && i + 1 < p.size()) {
      out += p.substr(i, 2);
      ++i;
    } else if (c == '[') {  // copy the class as it is
      size_t j = i + 1;
      if (j < p.size() && p[j] == '^') ++j;
      for (; j < p.size() && p[j] != ']'; ++j) {
        if (p[j] == '\\') ++j;
        else if (p[j] == '[' && j + 1 < p.size() && p[j + 1] == ':') j = p.find(":]", j) + 1;
      }
      out += p.substr(i, j - i + 1);
      i = j;
    } else if (c == '$' && !(flags & regex::kMultiLine)) {
      out += "\\z";
    } else if (c == '^' && (flags & regex::kMultiLine)) {
      out += "(?:^|(?<=\\n))";
    } else {
      out += c;
    }
  }
  return out;
}

inline std::string Hex(std::string_view s) {
  static const char kDigits[] = "0123456789abcdef";
  std::string h;
  for (unsigned char c : s) {
    h += kDigits[c >> 4];
    h += kDigits[c & 15];
  }
  return h;
}

// "spans|all" as regex_test::Spans and All, or "error|error".
inline std::string PerlSpansAndAll(std::string_view pattern, std::string_view text, int flags) {
  static testing_support::TempDir dir;
  static const std::string script = [] {
    std::string path = dir.File("peer.pl");
    testing_support::WriteFile(path, R"PL(
my ($p, $t, $f) = @ARGV;
$p = pack("H*", $p); $t = pack("H*", $t);
my $m = ($f & 8 ? "i" : "") . ($f & 2 ? "m" : "") . ($f & 1 ? "s" : "");
my $re = eval { $m ne "" ? qr/(?$m)$p/ : qr/$p/ };
if (!defined $re) { print "error|error"; exit 0; }
my $one = "-";
if ($t =~ $re) {
  my @s;
  for my $g (0 .. $#+) { push @s, defined $-[$g] ? "$-[$g]-$+[$g]" : "?"; }
  $one = join(" ", @s);
}
my @all; my $n = 0;
while ($t =~ /$re/g) { push @all, "$-[0]-$+[0]"; last if ++$n >= 100; }
print $one . "|" . join(" ", @all);
)PL");
    return path;
  }();
  // Only hex digits and a number reach the shell.
  std::string command = "perl " + script + " '" + Hex(ToPerlSyntax(pattern, flags)) + "' '" +
                        Hex(text) + "' " + std::to_string(flags);
  std::string out;
  if (FILE* f = popen(command.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, n);
    pclose(f);
  }
  return out;
}

}  // namespace regex_test

#endif  // VTTEL_TESTS_REGEX_PERL_PEER_H_
