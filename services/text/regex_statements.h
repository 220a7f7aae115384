// The regular-expression statements of the script language: "Ereg("
// (match and capture), "EregRepl(" (replace) and "EregSplit(" (split).
//
// Texts, patterns and replacements are used through their byte lengths
// (zero bytes included); GBK characters are bytes to the engine. Every run
// compiles its pattern with the flag word 0 (inline flags still apply); a
// statement keeps the pattern it compiled last and compiles again only when
// the pattern's bytes changed. Text and pattern are read before anything is
// written, so the array or the text variable may be one of the other
// arguments. A search runs under the engine's limits and ends when the
// line is stopped; a search stopped early writes nothing and gives 0 (the
// engine logs the limit), as does a replace whose result would pass the
// longest string a value holds (logged here).
//
// Thread rules: statements run on their line's thread only.
#ifndef VTTEL_SERVICES_TEXT_REGEX_STATEMENTS_H_
#define VTTEL_SERVICES_TEXT_REGEX_STATEMENTS_H_

namespace services {

// Registers the factories of "Ereg(", "EregRepl(" and "EregSplit(".
void RegisterRegexStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_TEXT_REGEX_STATEMENTS_H_
