// The four ways a built-in statement reads an argument. Every statement
// says which one each argument takes; none re-implements them.
#ifndef VTTEL_ENGINE_ARGUMENTS_H_
#define VTTEL_ENGINE_ARGUMENTS_H_

#include <cstdint>
#include <string>

#include "engine/tag_var.h"

namespace engine {

// As text: the value's string bytes, unconverted (up to their first zero
// byte; a value that is not a string gives the text it last held, "" at
// first).
inline const char* ArgText(const TagVar& v) { return v.text(); }

// As an integer: the integer conversion of the value.
inline int32_t ArgInt(const TagVar& v) { return v.GetInt(); }

// As a stored integer: the value's integer field, unconverted (a string's
// byte length + 1).
inline int32_t ArgStoredInt(const TagVar& v) { return v.intValue; }

// As text converted from any kind: the value's text form.
inline std::string ArgConvertedText(const TagVar& v) { return v.ToText(); }

}  // namespace engine

#endif  // VTTEL_ENGINE_ARGUMENTS_H_
