-- Maps: 200,000 integer keys inserted, then each looked up once.
local m = {}
local i = 0
while i < 200000 do
  m[i] = i
  i = i + 1
end
i = 0
local s = 0
while i < 200000 do
  local t = m[i]
  s = s + t
  i = i + 1
end
print("0 : " .. s)
