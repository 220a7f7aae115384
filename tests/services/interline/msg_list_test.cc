// Message queues: admission, the receive and read operations, counting,
// and the order a queue with keys keeps, checked against a reference that
// stable-sorts the whole list after every send and rewrite.
#include "services/interline/msg_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/map_table.h"
#include "frame/settings.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"

namespace services {
namespace {

using engine::Int;
using engine::Str;
using engine::TagVar;

// Sets MAX_MSG_NUM for a test and puts the old value back.
class ScopedMaxMsgNum {
 public:
  explicit ScopedMaxMsgNum(uint32_t n) : old_(frame::GetSettings().max_msg_num.exchange(n)) {}
  ~ScopedMaxMsgNum() { frame::GetSettings().max_msg_num.store(old_); }

 private:
  uint32_t old_;
};

// A message from sender with the type and the fields given (count = their number).
void Fill(TagMsgFields& m, int32_t sender, const TagVar& type, const std::vector<TagVar>& fields) {
  m.sender = sender;
  m.type.Assign(type);
  for (size_t i = 0; i < fields.size(); ++i) m.SetField(static_cast<int32_t>(i), fields[i]);
  m.SetCount(static_cast<int32_t>(fields.size()));
}

int32_t Send(TagMsgList& q, int32_t sender, const TagVar& type, const std::vector<TagVar>& fields) {
  TagMsgFields m;
  Fill(m, sender, type, fields);
  return q.Send(m);
}

// The senders in queue order (read without removing).
std::vector<int32_t> Senders(TagMsgList& q) {
  std::vector<int32_t> out;
  TagMsgFields m;
  const int32_t n = q.GetMsgNum();
  // Take them all, then send them back in the same order (a sorted queue
  // puts each behind its equals, so the order stays).
  TagMsgList copy;
  while (q.Recv(m)) {
    out.push_back(m.sender);
    copy.Send(m);
  }
  while (copy.Recv(m)) q.Send(m);
  EXPECT_EQ(static_cast<int32_t>(out.size()), n);
  return out;
}

TEST(MsgListTest, AdmissionHoldsOneMoreThanTheLimit) {
  struct Case {
    uint32_t limit;
    int sends;
    int32_t last_result;  // of the last send
  };
  const Case cases[] = {{1, 3, 0}, {1, 2, 2}, {0, 3000, 3000}, {2048, 2049, 2049}, {2048, 2050, 0}};
  for (const Case& c : cases) {
    ScopedMaxMsgNum limit(c.limit);
    TagMsgList q;
    int32_t result = -1;
    for (int i = 0; i < c.sends; ++i) result = Send(q, i, Int(i), {});
    EXPECT_EQ(result, c.last_result) << c.limit << " " << c.sends;
    EXPECT_EQ(q.GetMsgNum(), std::min<int32_t>(c.sends, c.limit == 0 ? c.sends : c.limit + 1));
  }
}

TEST(MsgListTest, EmptyQueueAnswersAtOnce) {
  TagMsgList q;
  TagMsgFields out;
  std::string text = "kept";
  TagVar dict;
  EXPECT_FALSE(q.Recv(out));
  EXPECT_FALSE(q.RecvForType(Int(1), out));
  EXPECT_FALSE(q.RecvForField(0, Int(1), out));
  EXPECT_FALSE(q.RecvFor2Field(0, Int(1), 1, 1, Int(1), out));
  EXPECT_FALSE(q.ReadMsg(-1, Int(0), out));
  EXPECT_EQ(q.WriteMsg(-1, Int(0), 0, Int(5)), 0);
  EXPECT_EQ(q.ReadFor(-5, Int(0), 0, &text), 0);
  EXPECT_EQ(q.CountMsg(-1, dict), 0);
  EXPECT_EQ(q.Clear(), 0);
  EXPECT_EQ(out.count, 0);
}

TEST(MsgListTest, FieldTestsStopAtTheCount) {
  TagMsgList q;
  Send(q, 1, Str("t"), {Int(7), Int(8)});
  TagMsgFields out;
  // Field 2 of the stored copy is NULL, like the value asked for, but it
  // lies at the count.
  EXPECT_FALSE(q.RecvForField(2, TagVar(), out));
  EXPECT_EQ(q.CountForField(2, TagVar()), 0);
  EXPECT_FALSE(q.RecvFor2Field(0, Int(7), 1, 2, TagVar(), out));
  EXPECT_FALSE(q.RecvFor2Field(-1, Str("t"), 0, 1, Int(9), out));
  EXPECT_TRUE(q.RecvFor2Field(-1, Str("t"), 1, 1, Int(9), out));
  EXPECT_EQ(out.sender, 1);
}

TEST(MsgListTest, ReceivingCopiesOnlyTheCountedFields) {
  TagMsgList q;
  Send(q, 3, Int(1), {Int(10), Int(11)});
  TagMsgFields current;
  current.SetField(5, Str("mine"));
  current.SetField(1, Str("gone"));
  ASSERT_TRUE(q.Recv(current));
  EXPECT_EQ(current.count, 2);
  EXPECT_EQ(current.sender, 3);
  EXPECT_EQ(current.fields[1].ToText(), "11");
  EXPECT_EQ(current.fields[5].ToText(), "mine");
}

TEST(MsgListTest, ReadForJoinsTheMatchingValues) {
  TagMsgList q;
  Send(q, 1, Str("a"), {Int(1), Int(2), Int(3)});
  Send(q, 2, Str("b"), {Int(1), Int(5), Int(6)});
  Send(q, 3, Str("a"), {Int(4), Int(8), Int(9)});
  struct Case {
    int32_t i;
    TagVar value;
    int32_t j;
    int32_t matched;
    std::string text;
  };
  const Case cases[] = {
      {7, Int(0), 7, 3, ",,"},       // beyond the count: every message, empty values
      {-1, Str("a"), 1, 2, "2,8"},   // by type
      {0, Int(1), -1, 2, "a,b"},     // by field, the types out
      {-3, Int(0), 2, 3, "3,6,9"},   // below -1: every message
      {0, Int(9), 0, 0, ""},
  };
  for (const Case& c : cases) {
    std::string text;
    EXPECT_EQ(q.ReadFor(c.i, c.value, c.j, &text), c.matched) << c.i << " " << c.j;
    EXPECT_EQ(text, c.text) << c.i << " " << c.j;
  }
}

TEST(MsgListTest, ReadForSkipsValuesPastTheTextLimitButCountsThem) {
  TagMsgList q;
  const std::string big(1000, 'x');
  for (int i = 0; i < 3; ++i) Send(q, i, Int(0), {Str(big)});
  Send(q, 9, Int(0), {Str("tail")});
  std::string text;
  EXPECT_EQ(q.ReadFor(-5, Int(0), 0, &text), 4);
  // Two values fit (2001 bytes with the separator); the third would pass
  // the limit; the short one still fits.
  EXPECT_EQ(text, big + "," + big + ",tail");
}

TEST(MsgListTest, WriteMsgFindsAndRewrites) {
  TagMsgList q;
  Send(q, 1, Str("a"), {Int(1), Int(2)});
  Send(q, 2, Str("b"), {Int(3), Int(4)});
  struct Case {
    int32_t selector;
    TagVar value;
    int32_t j;
    int32_t result;
    std::string after;  // field 0s and types, in order
  };
  const Case cases[] = {
      {-2, Str("b"), 5, 1, "a1,b3"},   // found, j beyond the count: nothing changes
      {-2, Str("b"), 0, 1, "a1,b9"},   // by type, field 0
      {1, Int(2), -1, 1, "c1,b9"},     // by field 1, the type
      {-1, TagVar(), 1, 1, "c1,b9"},   // the first, field 1 (not shown)
      {0, Int(42), 0, 0, "c1,b9"},     // nothing found
  };
  for (const Case& c : cases) {
    EXPECT_EQ(q.WriteMsg(c.selector, c.value, c.j, Str(c.j == -1 ? "c" : "9")), c.result);
    std::string types, firsts;
    q.ReadFor(-5, TagVar(), -1, &types);
    q.ReadFor(-5, TagVar(), 0, &firsts);
    EXPECT_EQ(types.substr(0, 1) + firsts.substr(0, 1) + "," + types.substr(2, 1) +
                  firsts.substr(2, 1),
              c.after)
        << c.selector << " " << c.j;
  }
}

TEST(MsgListTest, SetOrderByEditsTheKeys) {
  struct Case {
    int32_t column, direction, result;
  };
  const Case cases[] = {{20, 0, -1}, {-2, 1, -1}, {-1, -1, 0}, {19, 1, 0}, {-1, 0, 0}};
  for (const Case& c : cases) {
    TagMsgList q;
    EXPECT_EQ(q.SetOrderBy(c.column, c.direction), c.result) << c.column << " " << c.direction;
  }
}

TEST(MsgListTest, DescendingKeyKeepsArrivalOrderOfEquals) {
  TagMsgList q;
  ASSERT_EQ(q.SetOrderBy(2, 1), 0);
  Send(q, 1, Int(0), {Int(0), Int(0), Int(5)});
  Send(q, 2, Int(0), {Int(0), Int(0), Int(9)});
  Send(q, 3, Int(0), {Int(0), Int(0), Int(5)});
  EXPECT_EQ(Senders(q), (std::vector<int32_t>{2, 1, 3}));
}

TEST(MsgListTest, KeysSetLaterSortTheWholeQueueAtTheNextSend) {
  TagMsgList q;
  Send(q, 1, Int(3), {});
  Send(q, 2, Int(1), {});
  Send(q, 3, Int(2), {});
  ASSERT_EQ(q.SetOrderBy(-1, 0), 0);
  std::string types;
  q.ReadFor(-5, TagVar(), -1, &types);
  EXPECT_EQ(types, "3,1,2");  // changing the keys does not sort
  Send(q, 4, Int(0), {});
  q.ReadFor(-5, TagVar(), -1, &types);
  EXPECT_EQ(types, "0,1,2,3");
}

class MsgListMapTest : public engine::MapCheckTest {};

TEST_F(MsgListMapTest, CountMsgCountsPerDistinctValue) {
  TagMsgList q;
  for (const char* t : {"a", "b", "a"}) Send(q, 0, Str(t), {});
  Send(q, 0, Int(5), {Int(1)});
  TagVar dict;
  EXPECT_EQ(q.CountMsg(-1, dict), 3);
  EXPECT_EQ(dict.kind, engine::kVarMap);
  EXPECT_EQ(dict.GetElement(Str("a"))->GetInt(), 2);
  EXPECT_EQ(dict.GetElement(Str("b"))->GetInt(), 1);
  EXPECT_EQ(dict.GetElement(Int(5))->GetInt(), 1);
  // By field 0: only the message with a field counts.
  TagVar by_field;
  EXPECT_EQ(q.CountMsg(0, by_field), 1);
  EXPECT_EQ(by_field.GetElement(Int(1))->GetInt(), 1);
  dict.ReleaseMap();
  by_field.ReleaseMap();
}

TEST_F(MsgListMapTest, MapInAMessageLivesUntilItsLastHolderLetsGo) {
  const size_t before = engine::MapTable().LiveMaps();
  TagMsgList q;
  {
    TagVar map;
    map.Element(Str("k"))->AssignInt(1);
    TagMsgFields m;
    m.SetField(0, map);
    m.SetCount(1);
    q.Send(m);
    map.ReleaseMap();
  }  // the sender's message and variable are gone; the queue holds the map
  EXPECT_EQ(engine::MapTable().LiveMaps(), before + 1);
  {
    TagMsgFields received;
    ASSERT_TRUE(q.Recv(received));
    EXPECT_EQ(received.fields[0].GetElement(Str("k"))->GetInt(), 1);
    EXPECT_EQ(engine::MapTable().LiveMaps(), before + 1);
  }
  EXPECT_EQ(engine::MapTable().LiveMaps(), before);
  // A queue that goes with messages in it gives them back too.
  {
    TagMsgList dropped;
    TagVar map;
    map.Element(Int(1))->AssignInt(2);
    TagMsgFields m;
    m.type.Assign(map);
    dropped.Send(m);
    map.ReleaseMap();
  }
}

// The differential test: random operations on a queue and on a reference
// list that is stable-sorted whole after every Send and WriteMsg.
struct RefMessage {
  int32_t id;
  int32_t type;
  std::string f0;  // field 0: short strings
  int32_t f1;      // field 1: small integers
};

class Reference {
 public:
  void SetOrderBy(int32_t column, int32_t direction) {
    auto key = std::find_if(keys_.begin(), keys_.end(),
                            [&](const TagOrderCol& k) { return k.column == column; });
    if (direction >= 0) {
      if (key == keys_.end()) {
        keys_.push_back({column, static_cast<uint8_t>(direction != 0)});
      } else {
        key->descending = direction != 0;
      }
    } else if (key != keys_.end()) {
      keys_.erase(key);
    }
  }
  void Send(const RefMessage& m) {
    list_.push_back(m);
    Sort();
  }
  int32_t Write(int32_t type, int32_t new_f1) {
    auto it = std::find_if(list_.begin(), list_.end(),
                           [&](const RefMessage& m) { return m.type == type; });
    if (it == list_.end()) {
      Sort();
      return 0;
    }
    it->f1 = new_f1;
    Sort();
    return 1;
  }
  int32_t Recv() {
    if (list_.empty()) return -1;
    const int32_t id = list_.front().id;
    list_.erase(list_.begin());
    return id;
  }
  std::string Ids() const {
    std::string s;
    for (const RefMessage& m : list_) s += (s.empty() ? "" : ",") + std::to_string(m.id);
    return s;
  }

 private:
  // Compares by kind of column: the type and field 1 as integers, field 0
  // as strings.
  static int Compare(const RefMessage& a, const RefMessage& b, int32_t column) {
    if (column == -1) return (a.type > b.type) - (a.type < b.type);
    if (column == 0) return a.f0.compare(b.f0) < 0 ? -1 : a.f0 == b.f0 ? 0 : 1;
    return (a.f1 > b.f1) - (a.f1 < b.f1);
  }
  void Sort() {
    if (keys_.empty()) return;
    std::stable_sort(list_.begin(), list_.end(), [&](const RefMessage& a, const RefMessage& b) {
      for (const TagOrderCol& k : keys_) {
        const int c = Compare(a, b, k.column);
        if (c != 0) return k.descending ? c > 0 : c < 0;
      }
      return false;
    });
  }

  std::vector<TagOrderCol> keys_;
  std::vector<RefMessage> list_;
};

TEST(MsgListTest, OrderMatchesAWholeListStableSortAfterEveryChange) {
  std::mt19937 random(20261211);
  auto pick = [&](int n) { return static_cast<int32_t>(random() % static_cast<uint32_t>(n)); };
  const char* const texts[] = {"a", "b", "c", "d"};
  for (int run = 0; run < 40; ++run) {
    TagMsgList q;
    Reference ref;
    int32_t next_id = 1;
    for (int step = 0; step < 250; ++step) {
      const int op = pick(10);
      if (op < 4) {
        const RefMessage m{next_id++, pick(4), texts[pick(4)], pick(4)};
        ref.Send(m);
        Send(q, m.id, Int(m.type), {Str(m.f0), Int(m.f1), Int(m.id)});
      } else if (op < 6) {
        const int32_t type = pick(4), f1 = pick(4);
        ASSERT_EQ(q.WriteMsg(-2, Int(type), 1, Int(f1)), ref.Write(type, f1));
      } else if (op < 8) {
        TagMsgFields out;
        const int32_t want = ref.Recv();
        ASSERT_EQ(q.Recv(out), want >= 0);
        if (want >= 0) {
          ASSERT_EQ(out.sender, want);
        }
      } else {
        const int32_t column = pick(3) - 1, direction = pick(3) - 1;
        ref.SetOrderBy(column, direction);
        ASSERT_EQ(q.SetOrderBy(column, direction), 0);
      }
      if (op < 6) {
        std::string ids;
        q.ReadFor(-5, TagVar(), 2, &ids);
        ASSERT_EQ(ids, ref.Ids()) << "run " << run << " step " << step;
      }
    }
  }
}

}  // namespace
}  // namespace services
