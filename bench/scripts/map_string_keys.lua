-- Maps: 500,000 string keys ("k0", "k1", ...) inserted, then each looked up
-- once.
local n = 500000
local m = {}
local i = 0
while i < n do
  m["k" .. i] = i
  i = i + 1
end
i = 0
local s = 0
while i < n do
  local t = m["k" .. i]
  s = s + t
  i = i + 1
end
print("0 : " .. s)
