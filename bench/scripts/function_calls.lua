-- Function calls: 10,000,000 calls of a two-argument function.
local function add(a, b)
  return a + b
end
local i = 0
local x = 0
while i < 10000000 do
  x = add(x, 1)
  i = i + 1
end
print("0 : " .. x)
