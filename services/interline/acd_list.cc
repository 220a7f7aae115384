#include "services/interline/acd_list.h"

#include "platform/clock.h"

namespace services {

TagAcdList::~TagAcdList() {
  std::lock_guard<std::mutex> lock(mu_);
  groups_.clear();
}

void TagAcdList::DropIfEmpty(Groups::iterator it) {
  if (it->second->messages.GetMsgNum() == 0) groups_.erase(it);
}

int32_t TagAcdList::Send(std::string_view group, const TagMsgFields& message) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = groups_.find(group);
  if (it == groups_.end()) {
    it = groups_.emplace(std::string(group), std::make_unique<TagAcdGroupNode>()).first;
  }
  TagAcdGroupNode& node = *it->second;
  node.lastActivity = platform::GetClock().TickCount();
  node.messages.Send(message);
  return node.messages.GetMsgNum();
}

int32_t TagAcdList::Num(std::string_view group) {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = groups_.find(group);
  return it != groups_.end() ? it->second->messages.GetMsgNum() : 0;
}

int32_t TagAcdList::Read(int32_t line, TagMsgFields& out) {
  std::lock_guard<std::mutex> lock(mu_);
  const uint32_t now = platform::GetClock().TickCount();
  TagAcdGroupNode* pick = nullptr;
  uint32_t longest = 0;  // an idle time of 0 is never picked
  for (auto& [name, node] : groups_) {
    if (node->owner != kAcdNoOwner && node->owner != line) continue;
    const uint32_t idle = now - node->lastActivity;
    if (idle > longest) {
      longest = idle;
      pick = node.get();
    }
  }
  if (pick == nullptr) return 0;
  pick->lastActivity = now;
  pick->owner = line;
  return pick->messages.ReadMsg(-1, engine::TagVar(), out) ? 1 : 0;
}

int32_t TagAcdList::Recv(int32_t line, int32_t i, const engine::TagVar& value, TagMsgFields& out) {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto it = groups_.begin(); it != groups_.end(); ++it) {
    TagAcdGroupNode& node = *it->second;
    if (!node.messages.RecvForField(i, value, out)) continue;
    node.lastActivity = platform::GetClock().TickCount();
    node.owner = line;
    DropIfEmpty(it);
    return 1;
  }
  return 0;
}

int32_t TagAcdList::Clear(int32_t i, const engine::TagVar& value) {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto it = groups_.begin(); it != groups_.end(); ++it) {
    if (it->second->messages.ClearForField(i, value) == 0) continue;
    DropIfEmpty(it);
    return 1;
  }
  return 0;
}

int32_t TagAcdList::Write(int32_t selector, const engine::TagVar& value, int32_t j,
                          const engine::TagVar& new_value) {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto& entry : groups_) {
    if (entry.second->messages.WriteMsg(selector, value, j, new_value) != 0) return 1;
  }
  return 0;
}

}  // namespace services
