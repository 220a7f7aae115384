// Script values for tests, made in one expression.
#ifndef VTTEL_TESTS_ENGINE_VALUES_H_
#define VTTEL_TESTS_ENGINE_VALUES_H_

#include <string_view>

#include "engine/tag_var.h"

namespace engine {

inline TagVar Int(int32_t v) {
  TagVar x;
  x.SetInt(v);
  return x;
}
inline TagVar Str(std::string_view s) {
  TagVar x;
  x.SetString(s);
  return x;
}
inline TagVar Flt(double d) {
  TagVar x;
  x.SetFloat(d);
  return x;
}

}  // namespace engine

#endif  // VTTEL_TESTS_ENGINE_VALUES_H_
