-- Maps: 2,000,000 integer keys from 0 up written in 8 rounds (the first
-- inserts them, the others overwrite them), each round followed by a look-up
-- of every key.
local n = 2000000
local m = {}
local s = 0
local round = 0
while round < 8 do
  local i = 0
  while i < n do
    m[i] = i + round
    i = i + 1
  end
  i = 0
  while i < n do
    local t = m[i]
    s = s + t
    i = i + 1
  end
  round = round + 1
end
print("0 : " .. s)
