-- Integer loop: 30,000,000 rounds of an addition and a comparison.
local i = 0
local s = 0
while i < 30000000 do
  s = s + 3
  i = i + 1
end
print("0 : " .. s)
