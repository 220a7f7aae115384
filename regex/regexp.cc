#include "regex/regexp.h"

#include <cstring>

#include "regex/group_elements.h"
#include "regex/leaf_elements.h"
#include "regex/limits.h"

namespace regex {

namespace {

// Whether every match of e must begin at the start of the text.
bool AnchoredAtStart(const ElxInterface* e) {
  if (const auto* b = e->AsBoundary()) {
    return b->positive() && b->kind() == BoundaryKind::kTextStart;
  }
  if (const auto* list = e->AsList()) {
    return !list->reverse() && !list->elements().empty() &&
           AnchoredAtStart(list->elements().front());
  }
  return false;
}

// A byte that every match of e contains (a case-sensitive literal of the
// top-level sequence), or -1.
int RequiredByte(const ElxInterface* e) {
  auto literal = [](const ElxInterface* x) {
    const auto* s = x->AsString();
    if (s == nullptr || s->ignore_case() || s->reverse() || s->bytes().empty()) return -1;
    return static_cast<int>(static_cast<uint8_t>(s->bytes().back()));
  };
  if (const auto* list = e->AsList()) {
    if (list->reverse()) return -1;
    for (auto it = list->elements().rbegin(); it != list->elements().rend(); ++it) {
      int b = literal(*it);
      if (b >= 0) return b;
    }
    return -1;
  }
  return literal(e);
}

}  // namespace

void CRegexpT::Compile(const char* pattern, int length, int flags) {
  builder_.Compile(pattern, length, flags);
  anchored_ = false;
  use_first_ = false;
  single_first_ = -1;
  required_ = -1;
  const ElxInterface* root = builder_.root();
  if (root == nullptr || (flags & kRightToLeft)) return;
  anchored_ = AnchoredAtStart(root);
  required_ = RequiredByte(root);
  FirstBytes first = root->First();
  if (!first.nullable) {
    use_first_ = true;
    first_ = first.bytes;
    if (first_.Count() == 1) single_first_ = first_.Lowest();
  }
}

MatchResultT CRegexpT::Match(const char* text, int start, CContext* ctx) const {
  if (text == nullptr) return MatchResultT();
  return Match(std::string_view(text, std::strlen(text)), start, ctx);
}

MatchResultT CRegexpT::Match(std::string_view text, int start, CContext* ctx) const {
  CContext local;
  CContext* c = ctx != nullptr ? ctx : &local;
  PrepareMatch(c, text, start);
  return Match(c);
}

void CRegexpT::PrepareMatch(CContext* ctx, std::string_view text, int start) const {
  ctx->text = reinterpret_cast<const uint8_t*>(text.empty() ? "" : text.data());
  ctx->length = static_cast<int>(text.size());
  ctx->last_begin_position = -1;
  ctx->empty_at = -1;
  if (start < 0) start = (flags() & kRightToLeft) ? ctx->length : 0;
  ctx->begin_position = start;
  ctx->position = start;
  ctx->limit_hit = LimitKind::kNone;
}

bool CRegexpT::NextCandidate(const CContext& ctx, int* pos) const {
  if (anchored_ && *pos > 0) return false;
  if (!use_first_) return true;
  const uint8_t* t = ctx.text;
  const int len = ctx.length;
  if (*pos >= len) return false;
  if (single_first_ >= 0) {
    const void* hit = std::memchr(t + *pos, single_first_, static_cast<size_t>(len - *pos));
    if (hit == nullptr) return false;
    *pos = static_cast<int>(static_cast<const uint8_t*>(hit) - t);
    return true;
  }
  int p = *pos;
  while (p < len && !first_.Has(t[p])) ++p;
  *pos = p;
  return p < len;
}

MatchResultT CRegexpT::Found(CContext* ctx, int start) const {
  const int h = builder_.highest_group();
  ctx->captures[0].end = ctx->position;
  std::vector<int> v(static_cast<size_t>(2 * h + 4), -1);
  v[0] = 1;
  v[1] = h;
  for (int g = 0; g <= h; ++g) {
    const int index = ctx->capture_index[g];
    if (index < 0) continue;
    const CaptureRecord& r = ctx->captures[index];
    if (r.end == -1) continue;
    v[2 + 2 * g] = r.start < r.end ? r.start : r.end;
    v[3 + 2 * g] = r.start < r.end ? r.end : r.start;
  }
  ctx->empty_at = ctx->position == start ? start : -1;
  ctx->last_begin_position = ctx->begin_position;
  ctx->begin_position = ctx->position;
  return MatchResultT(std::move(v));
}

MatchResultT CRegexpT::Match(CContext* ctx) const {
  const ElxInterface* root = builder_.root();
  if (root == nullptr || ctx->position > ctx->length || ctx->position < 0) return MatchResultT();
  const bool reverse = (flags() & kRightToLeft) != 0;
  const int step = reverse ? -1 : 1;
  const int stop = reverse ? -1 : ctx->length + 1;
  const int h = builder_.highest_group();
  ctx->StartBudget(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
  int pos = ctx->position;
  if (required_ >= 0 && pos < ctx->length &&
      std::memchr(ctx->text + pos, required_, static_cast<size_t>(ctx->length - pos)) == nullptr) {
    return MatchResultT();  // a byte every match needs is not there
  }
  if (required_ >= 0 && pos >= ctx->length) return MatchResultT();
  try {
    while (pos != stop) {
      if (!reverse && !NextCandidate(*ctx, &pos)) break;
      ctx->stack.Clear();
      ctx->recursions.clear();
      ctx->capture_index.assign(static_cast<size_t>(h + 1), -1);
      ctx->captures.clear();
      ctx->captures.push_back(CaptureRecord{0, pos, -1, 0, -1});
      ctx->capture_index[0] = 0;
      ctx->position = pos;
      bool matched = root->Match(*ctx);
      // An empty match where the search before found one: a non-empty match
      // at the same place first, else move on.
      while (matched && pos == ctx->empty_at && ctx->position == pos) {
        matched = root->MatchNext(*ctx);
      }
      if (matched) return Found(ctx, pos);
      pos += step;
    }
  } catch (const MatchAbort& abort) {
    ctx->limit_hit = abort.kind;
    if (abort.kind != LimitKind::kStopped) ReportLimit(LimitName(abort.kind), builder_.pattern());
  }
  ctx->position = pos;
  return MatchResultT();
}


}  // namespace regex
